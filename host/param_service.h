#pragma once

#include "host/calling.h"
#include "host/item.h"
#include "host/scene_states.h"

#include <cstddef>

namespace host {

struct Param;
typedef Param *ParamHandle;

// Second argument of create: the parameter gets an envelope of the host's own choosing.
constexpr int kParamDefaultEnvelope = -1;

typedef ParamHandle(HOST_CALL *ParamCreateFunc)(int typeCode, int envelopeType);
typedef void(HOST_CALL *ParamDestroyFunc)(ParamHandle param);
typedef int(HOST_CALL *ParamSetupFunc)(ParamHandle param, const char *channelName,
                                       GroupHandle group, void *unused1, void *unused2,
                                       void *unused3, void *unused4);
typedef const char *(HOST_CALL *ParamLoadFunc)(ParamHandle param, const LoadState *state);
typedef const char *(HOST_CALL *ParamSaveFunc)(ParamHandle param, const SaveState *state);
// Writes the value at the time into result[0]; callers pass room for three doubles.
typedef int(HOST_CALL *ParamEvaluateFunc)(ParamHandle param, double time, void *context,
                                          double *result);
typedef int(HOST_CALL *ParamSetValueFunc)(ParamHandle param, double *value);

// "LWVParmFuncs 2".
struct ParamService {
    ParamCreateFunc create;
    ParamDestroyFunc destroy;
    ParamSetupFunc setup;
    void *unused3;
    ParamLoadFunc load;
    ParamSaveFunc save;
    ParamEvaluateFunc evaluate;
    ParamSetValueFunc setValue;
};

static_assert(offsetof(ParamService, create) == SlotOffset(0), "param service layout");
static_assert(offsetof(ParamService, destroy) == SlotOffset(1), "param service layout");
static_assert(offsetof(ParamService, setup) == SlotOffset(2), "param service layout");
static_assert(offsetof(ParamService, load) == SlotOffset(4), "param service layout");
static_assert(offsetof(ParamService, save) == SlotOffset(5), "param service layout");
static_assert(offsetof(ParamService, evaluate) == SlotOffset(6), "param service layout");
static_assert(offsetof(ParamService, setValue) == SlotOffset(7), "param service layout");

} // namespace host
