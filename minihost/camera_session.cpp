#include "minihost/camera_session.h"

#include "minihost/scene_states.h"

#include <algorithm>

namespace minihost {

CameraSession::CameraSession(const std::string &modulePath, const std::string &serverName,
                             const HostFaults &faults)
    : serverName_(serverName) {
    host_.faults = faults;
    module_ = std::make_unique<ModuleFile>(modulePath);
    ActivateOrThrow(module_->server(host::kCameraHandlerClass, serverName), host_,
                    host::kCameraHandlerVersion, &records_.record);
    item_ = host_.addItem("Camera");
    const char *error = nullptr;
    instance_ = records_.inst.create(records_.inst.privateData, host_.itemId(item_), &error);
    if (!instance_) {
        throw HostError(std::string("the camera could not be created: ") +
                        (error ? error : "no reason given"));
    }
}

CameraSession::~CameraSession() {
    if (instance_) {
        records_.inst.destroy(instance_);
    }
}

HostParam &CameraSession::channel(const std::string &channelName) {
    HostParam *param = host_.channel(item_, channelName);
    if (!param) {
        std::string known;
        for (const HostParam *p : item_->group.channels) {
            known += (known.empty() ? "" : ", ") + p->channelName;
        }
        throw HostError("the camera has no channel " + channelName + " (it has " + known + ")");
    }
    return *param;
}

void CameraSession::setValue(const std::string &channelName, double value) {
    host_.paramService().setValue(host_.handle(&channel(channelName)), &value);
}

void CameraSession::setKey(const std::string &channelName, double time, double value) {
    channel(channelName).envelope.setKey(time, value);
}

void CameraSession::setTime(double time) {
    host_.setTime(time);
    records_.record.newTime(instance_, 0, time);
}

Scene CameraSession::save() {
    Scene scene;
    scene.time = host_.time();
    scene.cameras.push_back(SaveCamera(host_, records_.inst, instance_, *item_,
                                       host::kCameraHandlerClass, serverName_));
    return scene;
}

void CameraSession::load(const Scene &scene, const std::string &fileName) {
    const auto ours =
        std::find_if(scene.cameras.begin(), scene.cameras.end(), [&](const SceneCamera &camera) {
            return camera.className == host::kCameraHandlerClass &&
                   camera.serverName == serverName_;
        });
    if (ours == scene.cameras.end()) {
        throw HostError(fileName + ": no camera in it uses " + serverName_);
    }
    item_->name = ours->itemName;
    std::copy(ours->position, ours->position + 3, item_->position);
    item_->heading = ours->rotation[0];
    item_->pitch = ours->rotation[1];
    item_->bank = ours->rotation[2];
    LoadCamera(host_, records_.inst, instance_, *ours, fileName);
    setTime(scene.time);
}

std::string CameraSession::panelText() {
    const host::ServerRecord &server = module_->server(host::kCameraInterfaceClass, serverName_);
    host::InterfaceRecord record{};
    record.instance = instance_;
    ActivateOrThrow(server, host_, host::kCameraInterfaceVersion, &record);
    const RecordedPanel *panel = toolkit_.panel(record.panel);
    if (!panel) {
        throw HostError("the module made no settings panel");
    }
    return toolkit_.describe(*panel);
}

} // namespace minihost
