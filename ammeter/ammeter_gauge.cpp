// The ammeter, as the host reads it: its header, the element chain (background, needle, the AMPS
// plate over the needle's hub, the GENERATOR 2 switch), the needle's calibration and the switch's
// mouse list; then the gauge's own state and its three callbacks.
#include "gauge_frame/gauge_routines.h"

extern GaugeHeader AmmeterHeader;
extern ElementBase* AmmeterRoot;
extern StaticImageElement AmmeterBackground, AmpsPlate;
extern NeedleElement AmmeterNeedle;
extern IconElement GeneratorSwitchIcon;
extern MouseArea AmmeterMouseAreas[6];
extern VarBinding GateVar;

double GAUGE_CALL AmmeterNeedleCallback(VarBinding* input);
double GAUGE_CALL GeneratorSwitchIconCallback(VarBinding* input);
uint32_t GAUGE_CALL GeneratorSwitchHandler(PixelPos* point, uint32_t host_word);

// The gauge's own install step: the gate variable is bound once the elements are installed, and
// stays bound across kill and re-install.
void AmmeterInstallSteps() { services().BindVar(&GateVar); }

using AmmeterRoutines =
    GaugeRoutines<AmmeterHeader, AmmeterRoot, AmmeterBackground, AmmeterMouseAreas, AmmeterInstallSteps>;

constinit GaugeHeader AmmeterHeader = AmmeterRoutines::Header("Varn Ammeter");
constinit ModuleLinkage Linkage = ModuleLinkageFor(AmmeterHeader);

ElementBase* AmmeterRoot = &AmmeterBackground.header;

// ---------------------------------------------------------------------------------------------
// Element chain

ElementBase* AmmeterBackgroundChildren[] = {&AmmeterNeedle.header, nullptr};
constinit StaticImageElement AmmeterBackground = {
    .header = {.element_type = kStaticImage, .resource_id = 200, .position = {0, 0}, .offset = {0, 0},
               .owner = &AmmeterHeader, .children = AmmeterBackgroundChildren, .picture_flags = kStaticPicture},
};

// The five points of the painted scale arc, from its left end over the top to its right end.
constinit ScalePoint AmmeterCalibration[5] = {
    {.point = {29, 90}, .value = -50.0},
    {.point = {65, 56}, .value = -25.0},
    {.point = {112, 43}, .value = 0.0},
    {.point = {159, 56}, .value = 25.0},
    {.point = {193, 90}, .value = 50.0},
};

// The needle bitmap points along +x from its hub at (6, 6), which the host places on the pivot
// (112, 140), to its tip at the bitmap's right edge on the pivot's row.
ElementBase* AmmeterNeedleChildren[] = {&AmpsPlate.header, nullptr};
constinit NeedleElement AmmeterNeedle = {
    .header = {.element_type = kNeedle, .resource_id = 300, .position = {112, 140}, .offset = {6, 6},
               .owner = &AmmeterHeader, .children = AmmeterNeedleChildren, .picture_flags = kMovingPicture},
    .input_var = {.var_id = 352},
    .callback = AmmeterNeedleCallback,
    .needle_tip = {104, 6},
    .scale_points = AmmeterCalibration,
    .scale_point_count = 5,
    .needle_param = 6,
};

// A repaint of the plate on the background, in the needle's list so that it is drawn over the
// needle and hides its hub.
ElementBase* AmpsPlateChildren[] = {&GeneratorSwitchIcon.header, nullptr};
constinit StaticImageElement AmpsPlate = {
    .header = {.element_type = kStaticImage, .resource_id = 400, .position = {23, 125}, .offset = {0, 0},
               .owner = &AmmeterHeader, .children = AmpsPlateChildren, .picture_flags = kStaticPicture},
};

// Picture 0 is the lever up (on, bitmap 500), picture 1 the lever down (off, bitmap 503). The
// picture comes from the switch flag alone, so the input binds no variable.
constinit IconElement GeneratorSwitchIcon = {
    .header = {.element_type = kIcon, .resource_id = 500, .position = {103, 244}, .offset = {0, 0},
               .owner = &AmmeterHeader, .children = nullptr, .picture_flags = kMovingPicture},
    .input_var = {.var_id = 0},
    .callback = GeneratorSwitchIconCallback,
    .picture_count = 2,
};

// ---------------------------------------------------------------------------------------------
// Mouse list: one group at the switch's place, holding the switch's click area, background pixels
// 103 to 120 across and 244 to 299 down.

constinit MouseArea AmmeterMouseAreas[6] = {
    {.kind = kParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kParent, .box = {103, 244, 18, 56}, .rect_code = kRectCodeNone},
    {.kind = kChild, .box = {0, 0, 18, 56}, .rect_code = kRectCodeChild, .mouse_mask = kMouseMaskClick,
     .handler = GeneratorSwitchHandler},
    {.kind = kEndOfParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kEndOfParent, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
    {.kind = kEndOfList, .box = {0, 0, 0, 0}, .rect_code = kRectCodeNone},
};

// ---------------------------------------------------------------------------------------------
// State

// The module's binding of host variable 171, which gates the reading; refreshed before every read.
constinit VarBinding GateVar = {.var_id = 171};

// The switch: 1 on (as loaded), 0 off. Only the switch handler writes it.
constinit uint32_t GeneratorSwitchOn = 1;

// ---------------------------------------------------------------------------------------------
// Callbacks and handler

// 655 source units per ampere. The reading rests at -20 while the switch is off or the gate reads
// below 2000 (a NaN gate counts as below), and is limited to the scale's ends; a NaN reading
// falls to -50.
double GAUGE_CALL AmmeterNeedleCallback(VarBinding* input) {
    constexpr double kAmperesPerSourceUnit = 1.0 / 655;
    const double source = input->value;
    services().RefreshVar(&GateVar);
    double reading = source * kAmperesPerSourceUnit;
    if (GeneratorSwitchOn == 0 || !(GateVar.value >= 2000.0)) reading = -20.0;
    if (reading > 50.0) return 50.0;
    if (!(reading >= -50.0)) return -50.0;
    return reading;
}

double GAUGE_CALL GeneratorSwitchIconCallback(VarBinding*) { return GeneratorSwitchOn != 0 ? 0.0 : 1.0; }

// One call per click, and every call toggles; the needle and the picture show the new position
// the next time the host asks them.
uint32_t GAUGE_CALL GeneratorSwitchHandler(PixelPos*, uint32_t) {
    GeneratorSwitchOn = GeneratorSwitchOn == 0 ? 1 : 0;
    return 0;
}
