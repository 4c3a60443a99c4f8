#pragma once

#include "camera/camera_instance.h"

// One animated parameter of the camera: its channel, the type code the parameter service is
// given, and the instance members holding its value and its handle.
struct CameraParamRow {
    const char *channelName;
    int typeCode;
    double CameraInstance::*value;
    host::ParamHandle CameraInstance::*handle;
};

// Every walk over the parameters (create, evaluate, destroy, save, load) follows this order;
// the scene data depends on it.
constexpr int kCameraParamCount = 5;
extern const CameraParamRow kCameraParams[kCameraParamCount];

// Creates a parameter seeded with the double at valueAddress; null if the service refuses.
host::ParamHandle MakeParam(int typeCode, const char *channelName, host::GroupHandle group,
                            const double *valueAddress);

// Stores every parameter's value at the time into its value member.
void EvaluateParams(CameraInstance *inst, double time);
