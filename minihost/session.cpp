#include "minihost/session.h"

#include "minihost/scene_states.h"

#include <algorithm>

namespace minihost {

Session::Session(const std::string &modulePath, const std::string &serverName,
                 const HostFaults &faults)
    : serverName_(serverName) {
    host_.faults = faults;
    module_ = std::make_unique<ModuleFile>(modulePath);
}

Session::~Session() {
    for (const std::unique_ptr<Camera> &camera : cameras_) {
        handler_.inst.destroy(camera->instance());
    }
}

const host::ServerRecord &Session::handlerServer() const {
    return module_->server(host::kCameraHandlerClass, serverName_);
}

const host::ServerRecord &Session::interfaceServer() const {
    return module_->server(host::kCameraInterfaceClass, serverName_);
}

int Session::activateHandler(int version) {
    return Activate(handlerServer(), host_, version, &handler_.record);
}

void Session::activateHandlerOrThrow() {
    ActivateOrThrow(handlerServer(), host_, host::kCameraHandlerVersion, &handler_.record);
}

int Session::activateInterface(host::InterfaceRecord *record, int version) {
    return Activate(interfaceServer(), host_, version, record);
}

Camera &Session::newCamera(const std::string &itemName) {
    if (!handler_.inst.create) {
        throw HostError("the camera handler is not activated");
    }
    HostItem *item = host_.addItem(itemName);
    const char *error = nullptr;
    void *instance = handler_.inst.create(handler_.inst.privateData, host_.itemId(item), &error);
    if (!instance) {
        throw HostError(std::string("the camera could not be created: ") +
                        (error ? error : "no reason given"));
    }
    cameras_.push_back(std::make_unique<Camera>(*this, item, instance));
    return *cameras_.back();
}

void Session::destroyCamera(Camera &camera) {
    const auto found =
        std::find_if(cameras_.begin(), cameras_.end(),
                     [&](const std::unique_ptr<Camera> &owned) { return owned.get() == &camera; });
    if (found != cameras_.end()) {
        handler_.inst.destroy(camera.instance());
        cameras_.erase(found);
    }
}

Camera *Session::camera(const void *instance) const {
    for (const std::unique_ptr<Camera> &owned : cameras_) {
        if (owned->instance() == instance) {
            return owned.get();
        }
    }
    return nullptr;
}

HostParam &Camera::channel(const std::string &channelName) {
    HostParam *param = host().channel(item_, channelName);
    if (!param) {
        std::string known;
        for (const HostParam *p : item_->group.channels) {
            known += (known.empty() ? "" : ", ") + p->channelName;
        }
        throw HostError("the camera has no channel " + channelName + " (it has " + known + ")");
    }
    return *param;
}

void Camera::setValue(const std::string &channelName, double value) {
    host().paramService().setValue(host().handle(&channel(channelName)), &value);
}

void Camera::setKey(const std::string &channelName, double time, double value) {
    channel(channelName).envelope.setKey(time, value);
}

void Camera::setTime(double time) {
    host().setTime(time);
    handler().newTime(instance_, 0, time);
}

host::CameraRay Camera::evaluate(double filmX, double filmY,
                                 const host::CameraAccess &access) const {
    host::CameraRay ray{};
    handler().evaluate(instance_, filmX, filmY, &ray, &access);
    return ray;
}

host::Matrix4 Camera::preview(const host::CameraAccess &access) {
    host::Matrix4 matrix{};
    handler().preview(instance_, &matrix, &access);
    return matrix;
}

Scene Camera::save() {
    Scene scene;
    scene.time = host().time();
    scene.cameras.push_back(SaveCamera(host(), *session_.handler().record.inst, instance_, *item_,
                                       host::kCameraHandlerClass, session_.serverName()));
    return scene;
}

void Camera::load(const Scene &scene, const std::string &fileName) {
    const std::string &serverName = session_.serverName();
    const auto ours =
        std::find_if(scene.cameras.begin(), scene.cameras.end(), [&](const SceneCamera &camera) {
            return camera.className == host::kCameraHandlerClass && camera.serverName == serverName;
        });
    if (ours == scene.cameras.end()) {
        throw HostError(fileName + ": no camera in it uses " + serverName);
    }
    item_->name = ours->itemName;
    std::copy(ours->position, ours->position + 3, item_->position);
    item_->heading = ours->rotation[0];
    item_->pitch = ours->rotation[1];
    item_->bank = ours->rotation[2];
    LoadCamera(host(), *session_.handler().record.inst, instance_, *ours, fileName);
    setTime(scene.time);
}

const RecordedPanel &Camera::openPanel() {
    host::InterfaceRecord record{};
    record.instance = instance_;
    ActivateOrThrow(session_.interfaceServer(), host(), host::kCameraInterfaceVersion, &record);
    const RecordedPanel *panel = session_.toolkit().panel(record.panel);
    if (!panel) {
        throw HostError("the module made no settings panel");
    }
    return *panel;
}

std::string Camera::panelText() {
    return session_.toolkit().describe(openPanel());
}

} // namespace minihost
