#pragma once

#include "host/camera_records.h"
#include "host/panel_service.h"
#include "minihost/host.h"
#include "minihost/module_file.h"
#include "minihost/panel_toolkit.h"
#include "minihost/scene_file.h"

#include <memory>
#include <string>
#include <vector>

namespace minihost {

class Camera;

// One module file in a stand-in host of its own, driven the way the host drives a plug-in:
// the module loaded through its descriptor, its servers activated with the host's records,
// camera instances created on items and used only through the handler record. Every test,
// benchmark, fuzz target and tool gets its cameras from a session.
class Session {
  public:
    // Loads and starts the module; throws HostError if it cannot. The faults are in force
    // from the start, and can be changed through host().faults.
    Session(const std::string &modulePath, const std::string &serverName,
            const HostFaults &faults = {});
    // Destroys the cameras still alive, then shuts the module down and unloads it.
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    Host &host() { return host_; }
    const Host &host() const { return host_; }
    PanelToolkit &toolkit() { return toolkit_; }
    ModuleFile &module() { return *module_; }
    const std::string &serverName() const { return serverName_; }
    // The records the camera handler's activation fills.
    HandlerRecords &handler() { return handler_; }

    const host::ServerRecord &handlerServer() const;
    const host::ServerRecord &interfaceServer() const;

    int activateHandler(int version = host::kCameraHandlerVersion);
    // Throws HostError with the result's meaning and the services the host could not give.
    void activateHandlerOrThrow();
    int activateInterface(host::InterfaceRecord *record,
                          int version = host::kCameraInterfaceVersion);

    // Creates a camera instance on a new item through the handler record; the session
    // destroys it unless destroyCamera does first. Throws HostError with the module's text.
    Camera &newCamera(const std::string &itemName = "Camera");
    void destroyCamera(Camera &camera);
    // The live camera with that instance handle, or null.
    Camera *camera(const void *instance) const;

  private:
    Host host_;
    PanelToolkit toolkit_{host_};
    std::string serverName_;
    std::unique_ptr<ModuleFile> module_; // after the host: unloaded before the host goes
    HandlerRecords handler_;
    std::vector<std::unique_ptr<Camera>> cameras_;
};

// A camera item using the module's camera handler. Settings go through the host's parameter
// service and time update, never into the instance.
class Camera {
  public:
    Camera(Session &session, HostItem *item, void *instance)
        : session_(session), item_(item), instance_(instance) {}
    Camera(const Camera &) = delete;
    Camera &operator=(const Camera &) = delete;

    Session &session() { return session_; }
    Host &host() { return session_.host(); }
    HostItem &item() { return *item_; }
    void *instance() const { return instance_; }
    const host::CameraHandlerRecord &handler() const { return session_.handler().record; }

    // The parameter behind a channel of the camera; throws HostError for an unknown channel.
    HostParam &channel(const std::string &channelName);
    // A plain value set through the parameter service, as the host's own panels do.
    void setValue(const std::string &channelName, double value);
    void setKey(const std::string &channelName, double time, double value);
    // Moves the host's time and lets the camera evaluate its parameters there.
    void setTime(double time);

    host::CameraRay evaluate(double filmX, double filmY, const host::CameraAccess &access) const;
    host::Matrix4 preview(const host::CameraAccess &access);

    // The item and the camera's data, and loading them back, the way the host saves scenes.
    Scene save();
    void load(const Scene &scene, const std::string &fileName);

    // Opens the camera's settings panel the way the host does; throws HostError if the module
    // makes none.
    const RecordedPanel &openPanel();
    std::string panelText();

  private:
    Session &session_;
    HostItem *item_;
    void *instance_;
};

} // namespace minihost
