#include "camera/camera_params.h"

#include "module/module_state.h"

host::ParamHandle MakeParam(int typeCode, const char *channelName, host::GroupHandle group,
                            const double *valueAddress) {
    const host::ParamService *params = ModuleState.ParamService;
    host::ParamHandle param = params->create(typeCode, host::kParamDefaultEnvelope);
    if (!param) {
        return nullptr;
    }
    params->setup(param, channelName, group, nullptr, nullptr, nullptr, nullptr);
    double seed = *valueAddress;
    params->setValue(param, &seed);
    return param;
}

void EvaluateParams(CameraInstance *inst, double time) {
    for (const CameraParamRow &row : kCameraParams) {
        // The service may write a vector result; only the first element is ours.
        double result[3] = {0.0, 0.0, 0.0};
        ModuleState.ParamService->evaluate(inst->*row.handle, time, nullptr, result);
        inst->*row.value = result[0];
    }
}
