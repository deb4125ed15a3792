// A module that holds two gauges: Linkage (twin_linkage.cpp) lists both headers, then its null
// end. "Twin Left" is the 8 by 8 background with a 4 by 4 picture over it; "Twin Right" the 4 by 4
// picture alone, as its background. Each gauge has its own seven routines, records and click area.
#include "gauge_frame/gauge_routines.h"

uint32_t GAUGE_CALL TwinHandler(PixelPos*, uint32_t) { return 0; }

constexpr MouseArea kEndOfGroup = {.kind = kEndOfParent, .rect_code = kRectCodeNone};

extern GaugeHeader TwinLeftHeader, TwinRightHeader;
extern StaticImageElement TwinLeftBackground, TwinRightBackground;

constinit StaticImageElement TwinLeftPicture = {
    .header = {.element_type = kStaticImage, .resource_id = 300, .position = {2, 2}, .offset = {0, 0},
               .owner = &TwinLeftHeader, .children = nullptr, .picture_flags = kStaticPicture},
};
ElementBase* TwinLeftChildren[] = {&TwinLeftPicture.header, nullptr};
constinit StaticImageElement TwinLeftBackground = {
    .header = {.element_type = kStaticImage, .resource_id = 200, .position = {0, 0}, .offset = {0, 0},
               .owner = &TwinLeftHeader, .children = TwinLeftChildren, .picture_flags = kStaticPicture},
};
ElementBase* TwinLeftRoot = &TwinLeftBackground.header;
constinit MouseArea TwinLeftMouseAreas[] = {
    {.kind = kParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kParent, .box = {0, 0, 8, 8}, .rect_code = kRectCodeNone},
    {.kind = kChild, .box = {0, 0, 8, 8}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskClick, .handler = TwinHandler},
    kEndOfGroup,
    kEndOfGroup,
    {.kind = kEndOfList, .rect_code = kRectCodeNone},
};

constinit StaticImageElement TwinRightBackground = {
    .header = {.element_type = kStaticImage, .resource_id = 300, .position = {0, 0}, .offset = {0, 0},
               .owner = &TwinRightHeader, .children = nullptr, .picture_flags = kStaticPicture},
};
ElementBase* TwinRightRoot = &TwinRightBackground.header;
constinit MouseArea TwinRightMouseAreas[] = {
    {.kind = kParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kParent, .box = {0, 0, 4, 4}, .rect_code = kRectCodeNone},
    {.kind = kChild, .box = {0, 0, 4, 4}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskClick, .handler = TwinHandler},
    kEndOfGroup,
    kEndOfGroup,
    {.kind = kEndOfList, .rect_code = kRectCodeNone},
};

using TwinLeftRoutines = GaugeRoutines<TwinLeftHeader, TwinLeftRoot, TwinLeftBackground, TwinLeftMouseAreas>;
using TwinRightRoutines = GaugeRoutines<TwinRightHeader, TwinRightRoot, TwinRightBackground, TwinRightMouseAreas>;
constinit GaugeHeader TwinLeftHeader = TwinLeftRoutines::Header("Twin Left");
constinit GaugeHeader TwinRightHeader = TwinRightRoutines::Header("Twin Right");
