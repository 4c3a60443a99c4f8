#include "panel/panel_callbacks.h"

#include "camera/camera_params.h"
#include "host/module_descriptor.h"
#include "module/module_state.h"

#include <cmath>

// Called by the host's panel toolkit, on its main thread while the panel is shown, for the
// parameter an element edits; null for elements that edit none.
void *HOST_CALL PanelGet(void *instance, host::PanelElementId id) {
    const CameraParamRow *row = ParamForPanelElement(id);
    if (!row || !instance) {
        return nullptr;
    }
    return static_cast<CameraInstance *>(instance)->*row->handle;
}

// Called by the host's panel toolkit, on its main thread, with the double the user entered.
// Writes only that value of the instance, then tells the host the camera changed. A missing
// or non-finite value is refused rather than stored, so a bad edit cannot poison every ray.
int HOST_CALL PanelSet(void *instance, host::PanelElementId id, void *value) {
    const CameraParamRow *row = ParamForPanelElement(id);
    if (!row || !instance || !value) {
        return 0;
    }
    const double entered = *static_cast<const double *>(value);
    if (!std::isfinite(entered)) {
        return 0;
    }
    static_cast<CameraInstance *>(instance)->*row->value = entered;
    if (ModuleState.InstanceUpdate) {
        ModuleState.InstanceUpdate(host::kCameraHandlerClass, instance);
    }
    return 1;
}

// Given to the toolkit where it wants a callback the panel has no use for.
void HOST_CALL PanelNoOp(void * /*data*/) {}
