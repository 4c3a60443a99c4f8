#include "camera/camera_ops.h"
#include "host/camera_records.h"
#include "host/module_descriptor.h"
#include "module/activations.h"
#include "module/module_state.h"

#include <cmath>

// Called by the host, on its main thread, before it uses the camera handler. Stores the
// host's services in ModuleState and fills the handler record; a failed activation writes
// nothing into the record.
int HOST_CALL HandlerActivate(int version, host::GlobalFunc global, void *local,
                              void * /*serverData*/) {
    if (version != host::kCameraHandlerVersion) {
        return host::kActivateBadVersion;
    }
    ModuleState.pi = std::atan(1.0) * 4.0;
    ModuleState.GlobalFunc = global;
    ModuleState.ParamService = static_cast<const host::ParamService *>(
        global(host::kParamServiceName, host::kUseModeDefault));
    ModuleState.ItemInfoService = static_cast<const host::ItemInfoService *>(
        global(host::kItemInfoServiceName, host::kUseModeDefault));
    ModuleState.EnvelopeService = global(host::kEnvelopeServiceName, host::kUseModeDefault);
    ModuleState.TimeInfo = static_cast<const host::TimeInfo *>(
        global(host::kTimeInfoServiceName, host::kUseModeDefault));
    if (!ModuleState.ParamService || !ModuleState.ItemInfoService || !ModuleState.EnvelopeService ||
        !ModuleState.TimeInfo) {
        return host::kActivateBadGlobal;
    }

    host::CameraHandlerRecord *handler = static_cast<host::CameraHandlerRecord *>(local);
    host::InstanceFuncs *inst = handler->inst;
    inst->privateData = reinterpret_cast<void *>(global);
    inst->create = InstanceCreate;
    inst->destroy = InstanceDestroy;
    inst->copy = InstanceCopy;
    inst->load = InstanceLoad;
    inst->save = InstanceSave;
    inst->describe = InstanceDescribe;
    handler->newTime = CameraNewTime;
    handler->preview = CameraPreview;
    handler->evaluate = CameraEvaluate;
    handler->flags = CameraFlags;
    return host::kActivateOk;
}
