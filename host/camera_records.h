#pragma once

#include "host/calling.h"
#include "host/item.h"
#include "host/scene_states.h"

#include <cstddef>

namespace host {

// 16 doubles in memory order; rotations and projections are stored column by column.
struct Matrix4 {
    double m[16];
};

// What the host tells a camera for one preview or ray request. The record is made of doubles
// only, so every offset is a multiple of 8 whether doubles are 4- or 8-byte aligned.
struct CameraAccess {
    double unread0;
    double position[3];
    double unread1[3];
    double upAxis[3];
    double viewAxis[3];
    double unread2[9];
    double filmWidth;
    double filmHeight;
};

struct CameraRay {
    double origin[3];
    double direction[3];
    double directionCopy[3];
};

typedef void *(HOST_CALL *InstanceCreateFunc)(void *privateData, ItemId item, const char **error);
typedef void(HOST_CALL *InstanceDestroyFunc)(void *instance);
typedef const char *(HOST_CALL *InstanceCopyFunc)(void *destination, void *source);
typedef const char *(HOST_CALL *InstanceLoadFunc)(void *instance, const LoadState *state);
typedef const char *(HOST_CALL *InstanceSaveFunc)(void *instance, const SaveState *state);
typedef const char *(HOST_CALL *InstanceDescribeFunc)(void *instance);

struct InstanceFuncs {
    void *privateData;
    InstanceCreateFunc create;
    InstanceDestroyFunc destroy;
    InstanceCopyFunc copy;
    InstanceLoadFunc load;
    InstanceSaveFunc save;
    InstanceDescribeFunc describe;
};

typedef int(HOST_CALL *CameraNewTimeFunc)(void *instance, int frame, double time);
typedef int(HOST_CALL *CameraPreviewFunc)(void *instance, Matrix4 *matrix,
                                          const CameraAccess *access);
typedef int(HOST_CALL *CameraEvaluateFunc)(void *instance, double filmX, double filmY,
                                           CameraRay *ray, const CameraAccess *access);
typedef unsigned int(HOST_CALL *CameraFlagsFunc)(void *instance);

// The record the host hands to the camera handler's activation. Members 1 and 2 belong to the
// host and are never written by the plug-in.
struct CameraHandlerRecord {
    InstanceFuncs *inst;
    void *hostItemFuncs;
    void *hostRenderFuncs;
    CameraNewTimeFunc newTime;
    CameraPreviewFunc preview;
    CameraEvaluateFunc evaluate;
    CameraFlagsFunc flags;
};

static_assert(sizeof(Matrix4) == 128, "Matrix4 layout");
static_assert(offsetof(CameraAccess, position) == 8, "CameraAccess layout");
static_assert(offsetof(CameraAccess, upAxis) == 56, "CameraAccess layout");
static_assert(offsetof(CameraAccess, viewAxis) == 80, "CameraAccess layout");
static_assert(offsetof(CameraAccess, filmWidth) == 176, "CameraAccess layout");
static_assert(offsetof(CameraAccess, filmHeight) == 184, "CameraAccess layout");
static_assert(sizeof(CameraAccess) == 192, "CameraAccess layout");
static_assert(offsetof(CameraRay, origin) == 0, "CameraRay layout");
static_assert(offsetof(CameraRay, direction) == 24, "CameraRay layout");
static_assert(offsetof(CameraRay, directionCopy) == 48, "CameraRay layout");
static_assert(sizeof(CameraRay) == 72, "CameraRay layout");

static_assert(offsetof(InstanceFuncs, privateData) == SlotOffset(0), "instance table layout");
static_assert(offsetof(InstanceFuncs, create) == SlotOffset(1), "instance table layout");
static_assert(offsetof(InstanceFuncs, destroy) == SlotOffset(2), "instance table layout");
static_assert(offsetof(InstanceFuncs, copy) == SlotOffset(3), "instance table layout");
static_assert(offsetof(InstanceFuncs, load) == SlotOffset(4), "instance table layout");
static_assert(offsetof(InstanceFuncs, save) == SlotOffset(5), "instance table layout");
static_assert(offsetof(InstanceFuncs, describe) == SlotOffset(6), "instance table layout");
static_assert(sizeof(InstanceFuncs) == SlotOffset(7), "instance table layout");

static_assert(offsetof(CameraHandlerRecord, inst) == SlotOffset(0), "handler record layout");
static_assert(offsetof(CameraHandlerRecord, hostItemFuncs) == SlotOffset(1),
              "handler record layout");
static_assert(offsetof(CameraHandlerRecord, hostRenderFuncs) == SlotOffset(2),
              "handler record layout");
static_assert(offsetof(CameraHandlerRecord, newTime) == SlotOffset(3), "handler record layout");
static_assert(offsetof(CameraHandlerRecord, preview) == SlotOffset(4), "handler record layout");
static_assert(offsetof(CameraHandlerRecord, evaluate) == SlotOffset(5), "handler record layout");
static_assert(offsetof(CameraHandlerRecord, flags) == SlotOffset(6), "handler record layout");
static_assert(sizeof(CameraHandlerRecord) == SlotOffset(7), "handler record layout");

} // namespace host
