#include "camera/camera_instance.h"
#include "camera/camera_ops.h"
#include "camera/camera_params.h"
#include "module/module_state.h"

#include <cfloat>

// The camera's scene data: the five parameters in table order, each stored by the parameter
// service, then the five values as single-precision floats. There is no version or count of
// its own; stored scenes depend on this order.

namespace {

// The stored copy is single precision. A value beyond its range is stored as the largest of
// its sign: narrowing it would be undefined, and an infinity is no value a scene can hold.
float Narrowed(double value) {
    if (value > FLT_MAX) {
        return FLT_MAX;
    }
    if (value < -FLT_MAX) {
        return -FLT_MAX;
    }
    return static_cast<float>(value);
}

} // namespace

// Called by the host on its main thread while it writes a scene. The first parameter the
// service cannot save stops the write, and its error text goes back to the host unchanged.
const char *HOST_CALL InstanceSave(void *instance, const host::SaveState *state) {
    const CameraInstance *inst = static_cast<const CameraInstance *>(instance);
    for (const CameraParamRow &row : kCameraParams) {
        if (const char *error = ModuleState.ParamService->save(inst->*row.handle, state)) {
            return error;
        }
    }
    float values[kCameraParamCount];
    for (int i = 0; i < kCameraParamCount; ++i) {
        values[i] = Narrowed(inst->*kCameraParams[i].value);
    }
    state->writeFloats(state->data, values, kCameraParamCount);
    return nullptr;
}

// Called by the host on its main thread while it reads a scene. The values change only when
// the stored copy is complete: data that ends early leaves them as they were, and the next
// time update takes them from the loaded parameters anyway.
const char *HOST_CALL InstanceLoad(void *instance, const host::LoadState *state) {
    CameraInstance *inst = static_cast<CameraInstance *>(instance);
    for (const CameraParamRow &row : kCameraParams) {
        if (const char *error = ModuleState.ParamService->load(inst->*row.handle, state)) {
            return error;
        }
    }
    float values[kCameraParamCount] = {};
    if (state->readFloats(state->data, values, kCameraParamCount) != kCameraParamCount) {
        return nullptr;
    }
    for (int i = 0; i < kCameraParamCount; ++i) {
        inst->*kCameraParams[i].value = values[i];
    }
    return nullptr;
}
