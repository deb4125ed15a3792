// The smallest sound gauge for `inspect`: an 8 by 8 background with one 4 by 4 picture over it,
// and one click area in one group. Each build with TINY_GAUGE_FAULT set breaks one rule a host
// relies on, and `inspect` must name that fault and no other:
//   1  an exported routine beside Linkage and ImportTable (linked with its own export list)
//   2  a mouse list whose outermost parent is never closed
//   3  a picture that names a bitmap the module does not carry
//   4  a root element in read-only memory, where the host cannot write its fields
#include "gauge_frame/gauge_routines.h"

#ifndef TINY_GAUGE_FAULT
#define TINY_GAUGE_FAULT 0
#endif

extern GaugeHeader TinyHeader;
extern ElementBase* TinyRoot;
extern StaticImageElement TinyBackground;
extern MouseArea TinyMouseAreas[];

uint32_t GAUGE_CALL TinyHandler(PixelPos*, uint32_t) { return 0; }

#if TINY_GAUGE_FAULT == 1
// Let out by its own version script (Linux) or module-definition file (Windows).
#if defined(_WIN32)
extern "C" void TinyExtraExport() {}
#else
extern "C" __attribute__((visibility("default"))) void TinyExtraExport() {}
#endif
#endif

constexpr uint32_t kPictureBitmap = TINY_GAUGE_FAULT == 3 ? 400 : 300;

constinit StaticImageElement TinyPicture = {
    .header = {.element_type = kStaticImage, .resource_id = kPictureBitmap, .position = {2, 2}, .offset = {0, 0},
               .owner = &TinyHeader, .children = nullptr, .picture_flags = kStaticPicture},
};
ElementBase* TinyBackgroundChildren[] = {&TinyPicture.header, nullptr};
constinit StaticImageElement TinyBackground = {
    .header = {.element_type = kStaticImage, .resource_id = 200, .position = {0, 0}, .offset = {0, 0},
               .owner = &TinyHeader, .children = TinyBackgroundChildren, .picture_flags = kStaticPicture},
};
#if TINY_GAUGE_FAULT == 4
// Constant-initialised and const, so the loader leaves it in memory that becomes read-only.
constinit const StaticImageElement TinyReadOnlyBackground = {
    .header = {.element_type = kStaticImage, .resource_id = 200, .position = {0, 0}, .offset = {0, 0},
               .owner = &TinyHeader, .children = TinyBackgroundChildren, .picture_flags = kStaticPicture},
};
ElementBase* TinyRoot = const_cast<ElementBase*>(&TinyReadOnlyBackground.header);
#else
ElementBase* TinyRoot = &TinyBackground.header;
#endif

constexpr MouseArea kEndOfGroup = {.kind = kEndOfParent, .rect_code = kRectCodeNone};
constinit MouseArea TinyMouseAreas[] = {
    {.kind = kParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kParent, .box = {2, 2, 4, 4}, .rect_code = kRectCodeNone},
    {.kind = kChild, .box = {0, 0, 4, 4}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskClick,
     .handler = TinyHandler},
    kEndOfGroup,
#if TINY_GAUGE_FAULT != 2
    kEndOfGroup,
#endif
    {.kind = kEndOfList, .rect_code = kRectCodeNone},
};

using TinyRoutines = GaugeRoutines<TinyHeader, TinyRoot, TinyBackground, TinyMouseAreas>;
constinit GaugeHeader TinyHeader = TinyRoutines::Header("Tiny Gauge");
constinit ModuleLinkage Linkage = ModuleLinkageFor(TinyHeader);
