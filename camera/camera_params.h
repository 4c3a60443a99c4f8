#pragma once

#include "camera/camera_instance.h"
#include "camera/channel_names.h"
#include "host/panel_service.h"
#include "panel/panel_ids.h"

// How a parameter's value is measured, so that tools can show and take it in the user's units.
enum class ParamUnit {
    kRadians,
    kFilmFraction, // of the film width for a horizontal shift, of its height for a vertical one
};

// The parameter has no control on the settings panel.
constexpr host::PanelElementId kNoPanelElement = 0;

// One animated parameter of the camera: its channel, the type code the parameter service is
// given, the instance members holding its value and its handle, its value on a new camera, its
// unit and the panel element that edits it.
struct CameraParamRow {
    const char *channelName;
    int typeCode;
    double CameraInstance::*value;
    host::ParamHandle CameraInstance::*handle;
    // The default as a multiple of pi: pi itself comes from the host binding at activation,
    // so the default can only be computed when an instance is created.
    double defaultTimesPi;
    ParamUnit unit;
    host::PanelElementId panelElement;
};

// Every walk over the parameters (create, evaluate, copy, destroy, save, load, the panel) follows
// this order; the scene data depends on it.
inline constexpr CameraParamRow kCameraParams[] = {
    {kFovChannel, 0x10, &CameraInstance::fov, &CameraInstance::fovParm, 0.5, ParamUnit::kRadians,
     ID_FOV},
    {kHShiftChannel, 0x20, &CameraInstance::hShift, &CameraInstance::hShiftParm, 0.0,
     ParamUnit::kFilmFraction, ID_HSHIFT},
    {kVShiftChannel, 0x20, &CameraInstance::vShift, &CameraInstance::vShiftParm, 0.0,
     ParamUnit::kFilmFraction, ID_VSHIFT},
    {kTiltDirectionChannel, 0x40, &CameraInstance::tiltDirection,
     &CameraInstance::tiltDirectionParm, 0.0, ParamUnit::kRadians, kNoPanelElement},
    {kTiltAngleChannel, 0x40, &CameraInstance::tiltAngle, &CameraInstance::tiltAngleParm, 0.0,
     ParamUnit::kRadians, kNoPanelElement},
};
constexpr int kCameraParamCount = sizeof kCameraParams / sizeof kCameraParams[0];

// The row a panel element edits, or null when it edits none.
inline const CameraParamRow *ParamForPanelElement(host::PanelElementId id) {
    if (id == kNoPanelElement) {
        return nullptr;
    }
    for (const CameraParamRow &row : kCameraParams) {
        if (row.panelElement == id) {
            return &row;
        }
    }
    return nullptr;
}

// Creates a parameter seeded with the double at valueAddress; null if the service refuses.
host::ParamHandle MakeParam(int typeCode, const char *channelName, host::GroupHandle group,
                            const double *valueAddress);

// Stores every parameter's value at the time into its value member.
void EvaluateParams(CameraInstance *inst, double time);
