#include "camera/camera_instance.h"
#include "camera/camera_ops.h"
#include "camera/camera_params.h"
#include "module/module_state.h"
#include "module/names.h"

#include <cstdlib>

namespace {

constexpr char kNoMemoryError[] = "Couldn't allocate instance data.";
constexpr char kNoParamError[] = "Couldn't create the camera's animated parameters.";

void DestroyParams(CameraInstance *inst) {
    for (const CameraParamRow &row : kCameraParams) {
        if (inst->*row.handle) {
            ModuleState.ParamService->destroy(inst->*row.handle);
            inst->*row.handle = nullptr;
        }
    }
}

} // namespace

// Called by the host when a camera item starts using this handler. Needs a successful
// HandlerActivate. A camera missing one of its parameters could neither be saved in order nor
// animated, so a refused parameter refuses the whole instance.
void *HOST_CALL InstanceCreate(void * /*privateData*/, host::ItemId item, const char **error) {
    CameraInstance *inst = static_cast<CameraInstance *>(std::calloc(1, sizeof(CameraInstance)));
    if (!inst) {
        *error = kNoMemoryError;
        return nullptr;
    }
    for (const CameraParamRow &row : kCameraParams) {
        inst->*row.value = ModuleState.pi * row.defaultTimesPi;
    }
    inst->item = item;
    inst->chanGroup = ModuleState.ItemInfoService->chanGroup(item);
    for (const CameraParamRow &row : kCameraParams) {
        inst->*row.handle =
            MakeParam(row.typeCode, row.channelName, inst->chanGroup, &(inst->*row.value));
        if (!(inst->*row.handle)) {
            DestroyParams(inst);
            std::free(inst);
            *error = kNoParamError;
            return nullptr;
        }
    }
    return inst;
}

// Called by the host when the camera stops using the handler; the handle is dead afterwards.
void HOST_CALL InstanceDestroy(void *instance) {
    CameraInstance *inst = static_cast<CameraInstance *>(instance);
    DestroyParams(inst);
    std::free(inst);
}

// Called by the host when it duplicates a camera. Each instance keeps the parameters it made,
// so that each destroys exactly its own.
const char *HOST_CALL InstanceCopy(void *destination, void *source) {
    CameraInstance *to = static_cast<CameraInstance *>(destination);
    const CameraInstance *from = static_cast<const CameraInstance *>(source);
    for (const CameraParamRow &row : kCameraParams) {
        to->*row.value = from->*row.value;
    }
    to->filmWidth = from->filmWidth;
    to->filmHeight = from->filmHeight;
    return nullptr;
}

// Called by the host for the text it shows next to the camera's handler name.
const char *HOST_CALL InstanceDescribe(void * /*instance*/) {
    return kProductName;
}

// Called by the host on its own thread whenever its current time changes, never while rays of
// the same instance are being evaluated. The time comes from the time service, not from the
// arguments, so the values always match what the host's panels show.
int HOST_CALL CameraNewTime(void *instance, int /*frame*/, double /*time*/) {
    const host::TimeInfo *timeInfo = static_cast<const host::TimeInfo *>(
        ModuleState.GlobalFunc(host::kTimeInfoServiceName, host::kUseModeDefault));
    if (!timeInfo) {
        return 0;
    }
    EvaluateParams(static_cast<CameraInstance *>(instance), timeInfo->time);
    return 0;
}

// Called by the host to learn which optional camera features the handler wants: none.
unsigned int HOST_CALL CameraFlags(void * /*instance*/) {
    return 0;
}
