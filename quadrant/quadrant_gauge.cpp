// The throttle quadrant, as the host reads it: its header, the background with the six levers
// chained over it, and the mouse list of the six lever columns.
#include "gauge_frame/gauge_routines.h"
#include "quadrant/lever_handlers.h"

extern GaugeHeader QuadrantHeader;
extern ElementBase* QuadrantRoot;
extern StaticImageElement QuadrantBackground;
extern SliderElement RightThrottleSlider, LeftThrottleSlider, RightPropellerSlider, LeftPropellerSlider,
    RightMixtureSlider, LeftMixtureSlider;
extern MouseArea QuadrantMouseAreas[13];

using QuadrantRoutines = GaugeRoutines<QuadrantHeader, QuadrantRoot, QuadrantBackground, QuadrantMouseAreas>;

constinit GaugeHeader QuadrantHeader = QuadrantRoutines::Header("Varn Throttle Quadrant");
constinit ModuleLinkage Linkage = ModuleLinkageFor(QuadrantHeader);

ElementBase* QuadrantRoot = &QuadrantBackground.header;

// ---------------------------------------------------------------------------------------------
// Element chain: the background, then the levers from right to left through each block, so that
// each lever's knob, which stands out to the right of its slot, is drawn over the stems of the
// levers to its right. The host places a slider at position + value x scale_y; the scales are a
// whole number of pixels over 16384, negative so that a growing setting lifts the lever.

ElementBase* QuadrantBackgroundChildren[] = {&RightThrottleSlider.header, nullptr};
constinit StaticImageElement QuadrantBackground = {
    .header = {.element_type = kStaticImage, .resource_id = 200, .position = {0, 0}, .offset = {0, 0},
               .owner = &QuadrantHeader, .children = QuadrantBackgroundChildren, .picture_flags = kStaticPicture},
};

ElementBase* RightThrottleChildren[] = {&LeftThrottleSlider.header, nullptr};
constinit SliderElement RightThrottleSlider = {
    .header = {.element_type = kSlider, .resource_id = 400, .position = {100, 355}, .offset = {0, 0},
               .owner = &QuadrantHeader, .children = RightThrottleChildren, .picture_flags = kMovingPicture},
    .input_var_x = {.var_id = 0},
    .callback_x = nullptr,
    .scale_x = 0.0,
    .input_var_y = {.var_id = 163},
    .callback_y = nullptr,
    .scale_y = -117.0 / 16384,
};

ElementBase* LeftThrottleChildren[] = {&RightPropellerSlider.header, nullptr};
constinit SliderElement LeftThrottleSlider = {
    .header = {.element_type = kSlider, .resource_id = 300, .position = {75, 355}, .offset = {0, 0},
               .owner = &QuadrantHeader, .children = LeftThrottleChildren, .picture_flags = kMovingPicture},
    .input_var_x = {.var_id = 0},
    .callback_x = nullptr,
    .scale_x = 0.0,
    .input_var_y = {.var_id = 128},
    .callback_y = nullptr,
    .scale_y = -117.0 / 16384,
};

ElementBase* RightPropellerChildren[] = {&LeftPropellerSlider.header, nullptr};
constinit SliderElement RightPropellerSlider = {
    .header = {.element_type = kSlider, .resource_id = 600, .position = {48, 366}, .offset = {0, 0},
               .owner = &QuadrantHeader, .children = RightPropellerChildren, .picture_flags = kMovingPicture},
    .input_var_x = {.var_id = 0},
    .callback_x = nullptr,
    .scale_x = 0.0,
    .input_var_y = {.var_id = 164},
    .callback_y = nullptr,
    .scale_y = -121.0 / 16384,
};

ElementBase* LeftPropellerChildren[] = {&RightMixtureSlider.header, nullptr};
constinit SliderElement LeftPropellerSlider = {
    .header = {.element_type = kSlider, .resource_id = 500, .position = {21, 366}, .offset = {0, 0},
               .owner = &QuadrantHeader, .children = LeftPropellerChildren, .picture_flags = kMovingPicture},
    .input_var_x = {.var_id = 0},
    .callback_x = nullptr,
    .scale_x = 0.0,
    .input_var_y = {.var_id = 129},
    .callback_y = nullptr,
    .scale_y = -121.0 / 16384,
};

ElementBase* RightMixtureChildren[] = {&LeftMixtureSlider.header, nullptr};
constinit SliderElement RightMixtureSlider = {
    .header = {.element_type = kSlider, .resource_id = 800, .position = {57, 81}, .offset = {0, 0},
               .owner = &QuadrantHeader, .children = RightMixtureChildren, .picture_flags = kMovingPicture},
    .input_var_x = {.var_id = 0},
    .callback_x = nullptr,
    .scale_x = 0.0,
    .input_var_y = {.var_id = 165},
    .callback_y = nullptr,
    .scale_y = -86.0 / 16384,
};

// The last lever of the chain has nothing drawn over it.
constinit SliderElement LeftMixtureSlider = {
    .header = {.element_type = kSlider, .resource_id = 700, .position = {32, 81}, .offset = {0, 0},
               .owner = &QuadrantHeader, .children = nullptr, .picture_flags = kMovingPicture},
    .input_var_x = {.var_id = 0},
    .callback_x = nullptr,
    .scale_x = 0.0,
    .input_var_y = {.var_id = 130},
    .callback_y = nullptr,
    .scale_y = -86.0 / 16384,
};

// ---------------------------------------------------------------------------------------------
// Mouse list: the whole gauge, holding the mixture group of the top block and the propeller and
// throttle group of the bottom block. Each group's columns tile it side by side, full height, and
// each column's handler gets the pointer relative to the column's own top-left corner. The
// pedestal between the groups (rows 114 to 237) is covered by no column.

constinit MouseArea QuadrantMouseAreas[13] = {
    {.kind = kParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kParent, .box = {22, 0, 100, 114}, .rect_code = kRectCodeNone},
    {.kind = kChild, .box = {0, 0, 50, 114}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskLever,
     .handler = LeftMixtureHandler},
    {.kind = kChild, .box = {50, 0, 50, 114}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskLever,
     .handler = RightMixtureHandler},
    {.kind = kEndOfParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kParent, .box = {20, 238, 154, 162}, .rect_code = kRectCodeNone},
    {.kind = kChild, .box = {0, 0, 32, 162}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskLever,
     .handler = LeftPropellerHandler},
    {.kind = kChild, .box = {32, 0, 32, 162}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskLever,
     .handler = RightPropellerHandler},
    {.kind = kChild, .box = {64, 0, 45, 162}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskLever,
     .handler = LeftThrottleHandler},
    {.kind = kChild, .box = {109, 0, 45, 162}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskLever,
     .handler = RightThrottleHandler},
    {.kind = kEndOfParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kEndOfParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kEndOfList, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
};
