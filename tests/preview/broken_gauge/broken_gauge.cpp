// A small sound gauge (an 8 by 8 background, a needle over it, one click area) that each build with
// BROKEN_GAUGE_FAULT set breaks in one way a host must catch before it trusts the module: its
// records point astray, its counts are far too large, its drawing would cost without bound, or
// its code crashes or hangs. The host must give a verdict on each, never crash, hang or write over
// memory that is not the module's.
//   1  the needle's calibration table lies outside the module
//   2  the element tree has a loop: the needle lists the root as its child
//   3  a stray child pointer, into the middle of the background's record
//   4  the needle claims a billion calibration points
//   5  a chain of 40 elements, deeper than a host walks
//   6  the needle's pivot lies two billion pixels off its bitmap: drawing it must not cost that
//   7  the gauge's name is 300 characters long
//   8  the calibration table lies in the unmapped gap between two segments (built with 64 KiB
//      pages, so that the gap is wide)
//   9  the install routine crashes
//   10 the install routine never returns
#include <array>

#include "gauge_frame/gauge_routines.h"

#ifndef BROKEN_GAUGE_FAULT
#define BROKEN_GAUGE_FAULT 0
#endif

extern GaugeHeader BrokenHeader;
extern ElementBase* BrokenRoot;
extern StaticImageElement BrokenBackground;
extern NeedleElement BrokenNeedle;
extern MouseArea BrokenMouseAreas[];

uint32_t GAUGE_CALL BrokenHandler(PixelPos*, uint32_t) { return 0; }
double GAUGE_CALL BrokenNeedleCallback(VarBinding* input) { return input->value; }

constinit ScalePoint BrokenCalibration[2] = {
    {.point = {0, 4}, .value = 0.0},
    {.point = {8, 4}, .value = 1.0},
};

#if BROKEN_GAUGE_FAULT == 1
#define BROKEN_SCALE_POINTS reinterpret_cast<ScalePoint*>(0x40000000)
#elif BROKEN_GAUGE_FAULT == 8
#define BROKEN_SCALE_POINTS reinterpret_cast<ScalePoint*>(reinterpret_cast<char*>(&BrokenHandler) + 0x8000)
#else
#define BROKEN_SCALE_POINTS BrokenCalibration
#endif

#if BROKEN_GAUGE_FAULT == 2
ElementBase* BrokenNeedleChildren[] = {&BrokenBackground.header, nullptr};
#define BROKEN_NEEDLE_CHILDREN BrokenNeedleChildren
#else
#define BROKEN_NEEDLE_CHILDREN nullptr
#endif

// Not constant-initialised where a fault makes an address from a number or from arithmetic on
// another address, which the compiler still lays out as static data.
#if BROKEN_GAUGE_FAULT == 1 || BROKEN_GAUGE_FAULT == 8
#define BROKEN_NEEDLE_INIT
#else
#define BROKEN_NEEDLE_INIT constinit
#endif
BROKEN_NEEDLE_INIT NeedleElement BrokenNeedle = {
    .header = {.element_type = kNeedle, .resource_id = 300, .position = {4, 4},
               .offset = {BROKEN_GAUGE_FAULT == 6 ? -2000000000 : 0, 1}, .owner = &BrokenHeader,
               .children = BROKEN_NEEDLE_CHILDREN, .picture_flags = kMovingPicture},
    .input_var = {.var_id = 1},
    .callback = BrokenNeedleCallback,
    .needle_tip = {3, 1},
    .scale_points = BROKEN_SCALE_POINTS,
    .scale_point_count = BROKEN_GAUGE_FAULT == 4 ? 0x40000000u : 2u,
    .needle_param = 0,
};

#if BROKEN_GAUGE_FAULT == 3
ElementBase* BrokenBackgroundChildren[] = {
    reinterpret_cast<ElementBase*>(reinterpret_cast<char*>(&BrokenBackground) + 8), nullptr};
#elif BROKEN_GAUGE_FAULT == 5
// Forty static images, each listing the next.
extern std::array<StaticImageElement, 40> BrokenChain;
constinit std::array<std::array<ElementBase*, 2>, 40> BrokenChainChildren = [] {
    std::array<std::array<ElementBase*, 2>, 40> lists{};
    for (size_t i = 0; i + 1 < lists.size(); ++i) lists[i] = {&BrokenChain[i + 1].header, nullptr};
    return lists;
}();
constinit std::array<StaticImageElement, 40> BrokenChain = [] {
    std::array<StaticImageElement, 40> chain{};
    for (size_t i = 0; i < chain.size(); ++i)
        chain[i].header = {.element_type = kStaticImage, .resource_id = 300, .owner = &BrokenHeader,
                           .children = i + 1 < chain.size() ? BrokenChainChildren[i].data() : nullptr,
                           .picture_flags = kStaticPicture};
    return chain;
}();
ElementBase* BrokenBackgroundChildren[] = {&BrokenChain[0].header, nullptr};
#else
ElementBase* BrokenBackgroundChildren[] = {&BrokenNeedle.header, nullptr};
#endif

#if BROKEN_GAUGE_FAULT == 3
#define BROKEN_BACKGROUND_INIT
#else
#define BROKEN_BACKGROUND_INIT constinit
#endif
BROKEN_BACKGROUND_INIT StaticImageElement BrokenBackground = {
    .header = {.element_type = kStaticImage, .resource_id = 200, .position = {0, 0}, .offset = {0, 0},
               .owner = &BrokenHeader, .children = BrokenBackgroundChildren, .picture_flags = kStaticPicture},
};
ElementBase* BrokenRoot = &BrokenBackground.header;

constexpr MouseArea kEndOfGroup = {.kind = kEndOfParent, .rect_code = kRectCodeNone};
constinit MouseArea BrokenMouseAreas[] = {
    {.kind = kParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kParent, .box = {0, 0, 8, 8}, .rect_code = kRectCodeNone},
    {.kind = kChild, .box = {0, 0, 8, 8}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskClick,
     .handler = BrokenHandler},
    kEndOfGroup,
    kEndOfGroup,
    {.kind = kEndOfList, .rect_code = kRectCodeNone},
};

using BrokenRoutines = GaugeRoutines<BrokenHeader, BrokenRoot, BrokenBackground, BrokenMouseAreas>;

void GAUGE_CALL CrashingInstall(uint32_t) { *static_cast<volatile uint32_t*>(nullptr) = 0; }
void GAUGE_CALL EndlessInstall(uint32_t) {
    for (volatile bool forever = true; forever;) {
    }
}

constexpr GaugeHeader BrokenHeaderRecord() {
    constexpr const char* kName =
        BROKEN_GAUGE_FAULT == 7 ? "A gauge whose name runs on and on, far past what any panel shows: "
                                  "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                                  "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                                  "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                                : "Broken Gauge";
    GaugeHeader header = BrokenRoutines::Header(kName);
    if (BROKEN_GAUGE_FAULT == 9) header.install = CrashingInstall;
    if (BROKEN_GAUGE_FAULT == 10) header.install = EndlessInstall;
    return header;
}
constinit GaugeHeader BrokenHeader = BrokenHeaderRecord();
constinit ModuleLinkage Linkage = ModuleLinkageFor(BrokenHeader);
