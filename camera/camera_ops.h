#pragma once

#include "host/calling.h"
#include "host/camera_records.h"

// Operations the camera handler's activation installs in the host's handler record. Each
// takes the instance handle the host got from InstanceCreate as its first argument.
void *HOST_CALL InstanceCreate(void *privateData, host::ItemId item, const char **error);
void HOST_CALL InstanceDestroy(void *instance);
const char *HOST_CALL InstanceCopy(void *destination, void *source);
const char *HOST_CALL InstanceDescribe(void *instance);
const char *HOST_CALL InstanceLoad(void *instance, const host::LoadState *state);
const char *HOST_CALL InstanceSave(void *instance, const host::SaveState *state);
int HOST_CALL CameraNewTime(void *instance, int frame, double time);
unsigned int HOST_CALL CameraFlags(void *instance);
int HOST_CALL CameraPreview(void *instance, host::Matrix4 *matrix,
                            const host::CameraAccess *access);
int HOST_CALL CameraEvaluate(void *instance, double filmX, double filmY, host::CameraRay *ray,
                             const host::CameraAccess *access);
