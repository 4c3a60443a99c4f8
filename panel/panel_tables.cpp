#include "panel/panel_tables.h"

#include "module/names.h"
#include "panel/panel_callbacks.h"
#include "panel/panel_ids.h"

const host::PanelControl kPanelControls[] = {
    {ID_FOV, kFovLabel, kAngleEnvClass},
    {ID_HSHIFT, kHShiftLabel, kPercentEnvClass},
    {ID_VSHIFT, kVShiftLabel, kPercentEnvClass},
    {0, nullptr, nullptr},
};

const host::PanelDataDesc kPanelData[] = {
    {ID_FOV, "", kAngleEnvClass},
    {ID_HSHIFT, "", kPercentEnvClass},
    {ID_VSHIFT, "", kPercentEnvClass},
    {0, nullptr, nullptr},
};

namespace {

host::HintWord Text(const char *text) {
    return reinterpret_cast<host::HintWord>(text);
}
host::HintWord Function(void(HOST_CALL *function)(void *)) {
    return reinterpret_cast<host::HintWord>(function);
}

} // namespace

const host::HintWord kPanelHints[] = {
    host::kHintGroup,
    ID_FOV_GROUP,
    ID_FOV,
    ID_FOV_GROUP_SPARE,
    0,
    host::kHintGroup,
    ID_SHIFT_GROUP,
    ID_HSHIFT,
    ID_VSHIFT,
    0,
    host::kHintLabel,
    host::kPanelSelf,
    Text(kProductName),
    0,
    host::kHintCallback,
    Function(PanelNoOp),
    host::kHintCallbackWithData,
    Function(PanelNoOp),
    0,
    host::kHintMinimum,
    ID_FOV,
    0,
    host::kHintStep,
    ID_FOV,
    1,
    host::kHintMinimum,
    ID_HSHIFT,
    -1000,
    host::kHintMaximum,
    ID_HSHIFT,
    1000,
    host::kHintMinimum,
    ID_VSHIFT,
    -1000,
    host::kHintMaximum,
    ID_VSHIFT,
    1000,
    host::kHintEnd,
};
