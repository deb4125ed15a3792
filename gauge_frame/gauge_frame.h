// The records that a gauge module shares with the host simulator's panel system.
//
// The host reads every record here in place, by byte offset, and writes the fields marked
// host-owned. So each record is a packed struct of fixed-width fields in offset order, and the
// size and every offset are pinned right under it: a wrong layout fails the build, not the host.
// All fields are little-endian, words and pointers 32 bits wide, and 64-bit floats may sit on
// offsets that are multiples of 4 but not of 8.
#pragma once

// Freestanding C headers, which every compiler brings: a module is built without any C++ library,
// so <cstddef> and <cstdint> may be missing.
#include <stddef.h>
#include <stdint.h>

static_assert(sizeof(void*) == 4, "gauge modules are 32-bit: the host reads 32-bit pointers in place");

// The one calling convention of every routine that crosses the boundary between host and module:
// gauge routines, element callbacks, mouse handlers, service slots and init/deinit. On 32-bit
// Windows it is the system's __stdcall for every compiler (Microsoft's compiler and clang-cl name
// the processor _M_IX86, GCC __i386__); elsewhere the platform's C convention.
#if defined(_M_IX86) || (defined(_WIN32) && defined(__i386__))
#define GAUGE_CALL __stdcall
#else
#define GAUGE_CALL
#endif

// Every record between these two is laid out with no padding, as the host reads it. The pack
// pragma is understood by GCC, MinGW, clang-cl and Microsoft's compiler alike; Microsoft's
// compiler takes a pragma from a macro only through its own __pragma.
#if defined(_MSC_VER)
#define GAUGE_PACKED_BEGIN __pragma(pack(push, 1))
#define GAUGE_PACKED_END __pragma(pack(pop))
#else
#define GAUGE_PACKED_BEGIN _Pragma("pack(push, 1)")
#define GAUGE_PACKED_END _Pragma("pack(pop)")
#endif

// Pins an offset under a struct definition: GAUGE_FIELD_AT(VarBinding, value, 0x0C).
#define GAUGE_FIELD_AT(record, field, expected) \
    static_assert(offsetof(record, field) == (expected), #record "::" #field " is misplaced")

struct GaugeHeader;
struct ElementBase;
struct MouseArea;

GAUGE_PACKED_BEGIN

// ---------------------------------------------------------------------------------------------
// Shared geometry

// A pixel position, x to the right and y downward; its origin depends on its use.
struct PixelPos {
    int32_t x; // 0x00
    int32_t y; // 0x04
};
static_assert(sizeof(PixelPos) == 8);
GAUGE_FIELD_AT(PixelPos, x, 0x00);
GAUGE_FIELD_AT(PixelPos, y, 0x04);

// A rectangle; in a mouse rectangle it is relative to the box of the enclosing parent.
struct PixelRect {
    int32_t x;      // 0x00
    int32_t y;      // 0x04
    int32_t width;  // 0x08
    int32_t height; // 0x0C
};
static_assert(sizeof(PixelRect) == 16);
GAUGE_FIELD_AT(PixelRect, x, 0x00);
GAUGE_FIELD_AT(PixelRect, y, 0x04);
GAUGE_FIELD_AT(PixelRect, width, 0x08);
GAUGE_FIELD_AT(PixelRect, height, 0x0C);

// ---------------------------------------------------------------------------------------------
// Host variables

// Binding of one host variable by number. The host writes `value`; the module reads it.
struct VarBinding {
    uint32_t var_id;       // 0x00 module: host variable number; 0 binds nothing
    uint32_t host_word_1;  // 0x04 host-owned, zero at load
    uint32_t host_word_2;  // 0x08 host-owned, zero at load
    double value;          // 0x0C host: the variable's current value; 0.0 at load
    uint8_t host_value[8]; // 0x14 host-owned, zero at load
};
static_assert(sizeof(VarBinding) == 28);
GAUGE_FIELD_AT(VarBinding, var_id, 0x00);
GAUGE_FIELD_AT(VarBinding, host_word_1, 0x04);
GAUGE_FIELD_AT(VarBinding, host_word_2, 0x08);
GAUGE_FIELD_AT(VarBinding, value, 0x0C);
GAUGE_FIELD_AT(VarBinding, host_value, 0x14);

// ---------------------------------------------------------------------------------------------
// Routine types that cross the boundary

using ModuleRoutine = void(GAUGE_CALL*)();                     // init and deinit
using GaugeRoutine = void(GAUGE_CALL*)();                      // query, initialize, update, draw, kill
using GaugeRoutineWithArgument = void(GAUGE_CALL*)(uint32_t);  // install, generate

// The host calls an element callback with the element's input binding, `value` already current.
// A needle's callback returns the value to show; an icon's returns the picture index.
using ElementCallback = double(GAUGE_CALL*)(VarBinding* input);

// The host calls a mouse handler with the pointer's position inside the handler's own rectangle
// and a word of its own; every handler of this system returns 0.
using MouseHandler = uint32_t(GAUGE_CALL*)(PixelPos* point, uint32_t host_word);

// ---------------------------------------------------------------------------------------------
// Host panel services: the host's table of routines, slot n at byte offset 4 x n. The modules use
// the 13 named slots and examine no result; the others are declared so that the table has the
// host's layout.

using ServiceWithRoot = uint32_t(GAUGE_CALL*)(ElementBase* root);
using ServiceWithRootAndWord = uint32_t(GAUGE_CALL*)(ElementBase* root, uint32_t word);
using ServiceWithRectsHeaderAndSize = uint32_t(GAUGE_CALL*)(MouseArea* rects, GaugeHeader* header,
                                                            uint8_t* gauge_size);
using ServiceWithRectsAndHeader = uint32_t(GAUGE_CALL*)(MouseArea* rects, GaugeHeader* header);
using ServiceWithEvent = uint32_t(GAUGE_CALL*)(uint32_t event_id, int32_t value);
using ServiceWithBinding = uint32_t(GAUGE_CALL*)(VarBinding* binding);
using UnusedServiceSlot = void(GAUGE_CALL*)();

struct PanelServices {
    UnusedServiceSlot slots_0_to_23[24];             // 0x00 not used by the modules
    ServiceWithRoot QueryElements;                   // 0x60 slot 24: GaugeQuery
    ServiceWithRootAndWord InstallElements;          // 0x64 slot 25: GaugeInstall; sets the root's image
    ServiceWithRoot InitializeElements;              // 0x68 slot 26: GaugeInitialize
    ServiceWithRoot UpdateElements;                  // 0x6C slot 27: GaugeUpdate
    ServiceWithRootAndWord GenerateElements;         // 0x70 slot 28: GaugeGenerate
    ServiceWithRoot DrawElements;                    // 0x74 slot 29: GaugeDraw
    UnusedServiceSlot slot_30;                       // 0x78
    ServiceWithRoot ReleaseElements;                 // 0x7C slot 31: GaugeKill
    ServiceWithRectsHeaderAndSize InstallMouseAreas; // 0x80 slot 32: GaugeInstall
    ServiceWithRectsAndHeader RegisterMouseAreas;    // 0x84 slot 33: GaugeInstall
    ServiceWithRectsAndHeader UnregisterMouseAreas;  // 0x88 slot 34: GaugeKill
    UnusedServiceSlot slot_35;                       // 0x8C
    ServiceWithEvent SendEvent;                      // 0x90 slot 36: lever handlers
    UnusedServiceSlot slot_37;                       // 0x94
    ServiceWithBinding BindVar;                      // 0x98 slot 38: a gauge's own install step
    UnusedServiceSlot slot_39;                       // 0x9C
    ServiceWithBinding RefreshVar;                   // 0xA0 slot 40: leaves the current value in `value`
};
static_assert(sizeof(PanelServices) == 41 * 4);
GAUGE_FIELD_AT(PanelServices, QueryElements, 24 * 4);
GAUGE_FIELD_AT(PanelServices, InstallElements, 25 * 4);
GAUGE_FIELD_AT(PanelServices, InitializeElements, 26 * 4);
GAUGE_FIELD_AT(PanelServices, UpdateElements, 27 * 4);
GAUGE_FIELD_AT(PanelServices, GenerateElements, 28 * 4);
GAUGE_FIELD_AT(PanelServices, DrawElements, 29 * 4);
GAUGE_FIELD_AT(PanelServices, slot_30, 30 * 4);
GAUGE_FIELD_AT(PanelServices, ReleaseElements, 31 * 4);
GAUGE_FIELD_AT(PanelServices, InstallMouseAreas, 32 * 4);
GAUGE_FIELD_AT(PanelServices, RegisterMouseAreas, 33 * 4);
GAUGE_FIELD_AT(PanelServices, UnregisterMouseAreas, 34 * 4);
GAUGE_FIELD_AT(PanelServices, slot_35, 35 * 4);
GAUGE_FIELD_AT(PanelServices, SendEvent, 36 * 4);
GAUGE_FIELD_AT(PanelServices, slot_37, 37 * 4);
GAUGE_FIELD_AT(PanelServices, BindVar, 38 * 4);
GAUGE_FIELD_AT(PanelServices, slot_39, 39 * 4);
GAUGE_FIELD_AT(PanelServices, RefreshVar, 40 * 4);

// ---------------------------------------------------------------------------------------------
// Module entry

// One entry of the module's import list: a host component and the service table it gives.
struct ImportEntry {
    uint32_t module_id;      // 0x00 module: 15 (the panel system), 0 ends the list
    PanelServices* services; // 0x04 host: written after load, null in the module's image
};
static_assert(sizeof(ImportEntry) == 8);
GAUGE_FIELD_AT(ImportEntry, module_id, 0x00);
GAUGE_FIELD_AT(ImportEntry, services, 0x04);

// What the module holds, as the host reads it: with one gauge, its header and a null end.
struct ModuleLinkage {
    uint32_t module_id;           // 0x00 module: 19
    ModuleRoutine init_routine;   // 0x04 module: the empty routine
    ModuleRoutine deinit_routine; // 0x08 module: the same empty routine
    uint32_t reserved[3];         // 0x0C module: 0, 0, 0
    GaugeHeader* gauges[2];       // 0x18 module: the gauge header in place, then null
};
static_assert(sizeof(ModuleLinkage) == 32);
GAUGE_FIELD_AT(ModuleLinkage, module_id, 0x00);
GAUGE_FIELD_AT(ModuleLinkage, init_routine, 0x04);
GAUGE_FIELD_AT(ModuleLinkage, deinit_routine, 0x08);
GAUGE_FIELD_AT(ModuleLinkage, reserved, 0x0C);
GAUGE_FIELD_AT(ModuleLinkage, gauges, 0x18);

// ---------------------------------------------------------------------------------------------
// Gauge header

struct GaugeHeader {
    uint32_t header_version;           // 0x00 module: 610
    const char* gauge_name;            // 0x04 module: the name the host knows the gauge by
    ElementBase** root_ref;            // 0x08 module: the variable that holds the root element
    GaugeRoutine query;                // 0x0C module: GaugeQuery
    GaugeRoutineWithArgument install;  // 0x10 module: GaugeInstall
    GaugeRoutine initialize;           // 0x14 module: GaugeInitialize
    GaugeRoutine update;               // 0x18 module: GaugeUpdate
    GaugeRoutineWithArgument generate; // 0x1C module: GaugeGenerate
    GaugeRoutine draw;                 // 0x20 module: GaugeDraw
    GaugeRoutine kill;                 // 0x24 module: GaugeKill
    uint32_t reserved1;                // 0x28 module: 0
    uint32_t header_constant;          // 0x2C module: 181
    uint32_t reserved2[10];            // 0x30 module: all 0
};
static_assert(sizeof(GaugeHeader) == 88);
GAUGE_FIELD_AT(GaugeHeader, header_version, 0x00);
GAUGE_FIELD_AT(GaugeHeader, gauge_name, 0x04);
GAUGE_FIELD_AT(GaugeHeader, root_ref, 0x08);
GAUGE_FIELD_AT(GaugeHeader, query, 0x0C);
GAUGE_FIELD_AT(GaugeHeader, install, 0x10);
GAUGE_FIELD_AT(GaugeHeader, initialize, 0x14);
GAUGE_FIELD_AT(GaugeHeader, update, 0x18);
GAUGE_FIELD_AT(GaugeHeader, generate, 0x1C);
GAUGE_FIELD_AT(GaugeHeader, draw, 0x20);
GAUGE_FIELD_AT(GaugeHeader, kill, 0x24);
GAUGE_FIELD_AT(GaugeHeader, reserved1, 0x28);
GAUGE_FIELD_AT(GaugeHeader, header_constant, 0x2C);
GAUGE_FIELD_AT(GaugeHeader, reserved2, 0x30);

// ---------------------------------------------------------------------------------------------
// Element records: the gauge's picture as a tree, drawn from the root outwards.

enum ElementType : uint32_t {
    kStaticImage = 0,
    kNeedle = 1,
    kSlider = 3,
    kIcon = 4,
};

enum PictureFlags : uint32_t {
    kStaticPicture = 1,   // every static image
    kMovingPicture = 3,   // every needle, slider and icon
};

// The first 60 bytes of every element; the host tells the rest from `element_type`.
struct ElementBase {
    uint32_t element_type;  // 0x00 module: an ElementType
    uint32_t resource_id;   // 0x04 module: the bitmap resource the element shows
    PixelPos position;      // 0x08 module: where `offset` of the bitmap lands on the background
    uint32_t host_pair[2];  // 0x10 host-owned, zero at load
    PixelPos offset;        // 0x18 module: the point of the bitmap placed on `position`
    GaugeHeader* owner;     // 0x20 module: the gauge the element belongs to
    uint32_t host_word_1;   // 0x24 host-owned, zero at load
    ElementBase** children; // 0x28 module: null-terminated list drawn over this one, or null
    uint32_t host_word_2;   // 0x2C host-owned, zero at load
    uint32_t picture_flags; // 0x30 module: a PictureFlags value
    uint32_t host_word_3;   // 0x34 host-owned, zero at load
    uint32_t host_word_4;   // 0x38 host-owned, zero at load
};
static_assert(sizeof(ElementBase) == 60);
GAUGE_FIELD_AT(ElementBase, element_type, 0x00);
GAUGE_FIELD_AT(ElementBase, resource_id, 0x04);
GAUGE_FIELD_AT(ElementBase, position, 0x08);
GAUGE_FIELD_AT(ElementBase, host_pair, 0x10);
GAUGE_FIELD_AT(ElementBase, offset, 0x18);
GAUGE_FIELD_AT(ElementBase, owner, 0x20);
GAUGE_FIELD_AT(ElementBase, host_word_1, 0x24);
GAUGE_FIELD_AT(ElementBase, children, 0x28);
GAUGE_FIELD_AT(ElementBase, host_word_2, 0x2C);
GAUGE_FIELD_AT(ElementBase, picture_flags, 0x30);
GAUGE_FIELD_AT(ElementBase, host_word_3, 0x34);
GAUGE_FIELD_AT(ElementBase, host_word_4, 0x38);

// A bitmap that does not move: each gauge's background, or a picture that covers others.
struct StaticImageElement {
    ElementBase header;    // 0x00 element_type 0, picture_flags 1, offset (0, 0)
    uint8_t* image;        // 0x3C host: set by InstallElements to a record of its own;
                           //      the install routine passes image + 4 to InstallMouseAreas
    uint8_t host_area[16]; // 0x40 host-owned, zero at load
};
static_assert(sizeof(StaticImageElement) == 80);
GAUGE_FIELD_AT(StaticImageElement, header, 0x00);
GAUGE_FIELD_AT(StaticImageElement, image, 0x3C);
GAUGE_FIELD_AT(StaticImageElement, host_area, 0x40);

// One calibration point of a needle's dial.
struct ScalePoint {
    PixelPos point;        // 0x00 module: a point of the scale, in background pixels
    double value;          // 0x08 module: the reading the scale shows at `point`
    uint8_t host_value[8]; // 0x10 host-owned, zero at load
};
static_assert(sizeof(ScalePoint) == 24);
GAUGE_FIELD_AT(ScalePoint, point, 0x00);
GAUGE_FIELD_AT(ScalePoint, value, 0x08);
GAUGE_FIELD_AT(ScalePoint, host_value, 0x10);

// A bitmap turned about a pivot towards the scale point of the callback's value.
struct NeedleElement {
    ElementBase header;         // 0x00 element_type 1, picture_flags 3; offset is the pivot in the bitmap
    VarBinding input_var;       // 0x3C module: the variable the needle shows
    ElementCallback callback;   // 0x58 module: turns the variable's value into the value to show
    uint8_t host_area_1[12];    // 0x5C host-owned, zero at load
    PixelPos needle_tip;        // 0x68 module: the needle's tip in its bitmap
    ScalePoint* scale_points;   // 0x70 module: the dial's calibration, ascending by value
    uint32_t scale_point_count; // 0x74 module: entries in scale_points
    int32_t needle_param;       // 0x78 module
    uint8_t host_area_2[100];   // 0x7C host-owned, zero at load
};
static_assert(sizeof(NeedleElement) == 224);
GAUGE_FIELD_AT(NeedleElement, header, 0x00);
GAUGE_FIELD_AT(NeedleElement, input_var, 0x3C);
GAUGE_FIELD_AT(NeedleElement, callback, 0x58);
GAUGE_FIELD_AT(NeedleElement, host_area_1, 0x5C);
GAUGE_FIELD_AT(NeedleElement, needle_tip, 0x68);
GAUGE_FIELD_AT(NeedleElement, scale_points, 0x70);
GAUGE_FIELD_AT(NeedleElement, scale_point_count, 0x74);
GAUGE_FIELD_AT(NeedleElement, needle_param, 0x78);
GAUGE_FIELD_AT(NeedleElement, host_area_2, 0x7C);

// A bitmap the host draws at position + (x value x scale_x, y value x scale_y).
struct SliderElement {
    ElementBase header;         // 0x00 element_type 3, picture_flags 3, offset (0, 0)
    VarBinding input_var_x;     // 0x3C module: variable for horizontal motion
    ElementCallback callback_x; // 0x58 module: null uses the value directly
    uint32_t host_word;         // 0x5C host-owned, zero at load
    double scale_x;             // 0x60 module: pixels per unit of the x value
    VarBinding input_var_y;     // 0x68 module: variable for vertical motion
    ElementCallback callback_y; // 0x84 module: null uses the value directly
    double scale_y;             // 0x88 module: pixels per unit of the y value; negative lifts
    uint8_t host_area[24];      // 0x90 host-owned, zero at load
};
static_assert(sizeof(SliderElement) == 168);
GAUGE_FIELD_AT(SliderElement, header, 0x00);
GAUGE_FIELD_AT(SliderElement, input_var_x, 0x3C);
GAUGE_FIELD_AT(SliderElement, callback_x, 0x58);
GAUGE_FIELD_AT(SliderElement, host_word, 0x5C);
GAUGE_FIELD_AT(SliderElement, scale_x, 0x60);
GAUGE_FIELD_AT(SliderElement, input_var_y, 0x68);
GAUGE_FIELD_AT(SliderElement, callback_y, 0x84);
GAUGE_FIELD_AT(SliderElement, scale_y, 0x88);
GAUGE_FIELD_AT(SliderElement, host_area, 0x90);

// One of several pictures, chosen by the callback's whole-number result.
struct IconElement {
    ElementBase header;       // 0x00 element_type 4, picture_flags 3, offset (0, 0)
    VarBinding input_var;     // 0x3C module: the variable handed to the callback
    ElementCallback callback; // 0x58 module: returns the picture index, 0.0 for the first
    uint8_t host_area_1[20];  // 0x5C host-owned, zero at load
    uint32_t picture_count;   // 0x70 module: number of pictures
    uint8_t host_area_2[20];  // 0x74 host-owned, zero at load
};
static_assert(sizeof(IconElement) == 136);
GAUGE_FIELD_AT(IconElement, header, 0x00);
GAUGE_FIELD_AT(IconElement, input_var, 0x3C);
GAUGE_FIELD_AT(IconElement, callback, 0x58);
GAUGE_FIELD_AT(IconElement, host_area_1, 0x5C);
GAUGE_FIELD_AT(IconElement, picture_count, 0x70);
GAUGE_FIELD_AT(IconElement, host_area_2, 0x74);

// ---------------------------------------------------------------------------------------------
// Mouse rectangle lists: one flat array whose parent records open nested groups.

enum MouseAreaKind : uint32_t {
    kEndOfList = 0,
    kParent = 1,
    kChild = 2,
    kEndOfParent = 3,
};

struct MouseArea {
    uint32_t kind;        // 0x00 module: a MouseAreaKind
    PixelRect box;        // 0x04 module: relative to the enclosing parent's box
    int32_t rect_code;    // 0x14 module: 5 on children, -1 on every other record
    uint32_t host_word_1; // 0x18 host-owned, zero at load
    uint32_t mouse_mask;  // 0x1C module: one bit on children, 0 elsewhere
    uint32_t host_word_2; // 0x20 host-owned, zero at load
    MouseHandler handler; // 0x24 module: set on children, null elsewhere
    uint32_t host_word_3; // 0x28 host-owned, zero at load
};
static_assert(sizeof(MouseArea) == 44);
GAUGE_FIELD_AT(MouseArea, kind, 0x00);
GAUGE_FIELD_AT(MouseArea, box, 0x04);
GAUGE_FIELD_AT(MouseArea, rect_code, 0x14);
GAUGE_FIELD_AT(MouseArea, host_word_1, 0x18);
GAUGE_FIELD_AT(MouseArea, mouse_mask, 0x1C);
GAUGE_FIELD_AT(MouseArea, host_word_2, 0x20);
GAUGE_FIELD_AT(MouseArea, handler, 0x24);
GAUGE_FIELD_AT(MouseArea, host_word_3, 0x28);

GAUGE_PACKED_END

// The mouse mask of a lever rectangle: the handler turns the pointer's height into a setting, so
// repeated calls while the pointer moves are harmless.
inline constexpr uint32_t kMouseMaskLever = 0x00800000;
// The mouse mask of a switch rectangle: the handler toggles, one call per click.
inline constexpr uint32_t kMouseMaskClick = 0x20000000;
inline constexpr int32_t kRectCodeChild = 5;
inline constexpr int32_t kRectCodeNone = -1;
