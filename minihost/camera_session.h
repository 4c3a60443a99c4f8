#pragma once

#include "host/camera_records.h"
#include "minihost/host.h"
#include "minihost/module_file.h"
#include "minihost/panel_toolkit.h"
#include "minihost/scene_file.h"

#include <memory>
#include <string>

namespace minihost {

// One camera item using a module's camera handler, set up the way the host sets it up: the
// module loaded through its descriptor, the handler activated, an instance created on the
// item. Settings go through the host's parameter service, never into the instance.
class CameraSession {
  public:
    // Throws HostError if the module cannot be loaded, the handler not activated (naming
    // the services the host lacks) or the instance not created.
    CameraSession(const std::string &modulePath, const std::string &serverName,
                  const HostFaults &faults = {});
    ~CameraSession();
    CameraSession(const CameraSession &) = delete;
    CameraSession &operator=(const CameraSession &) = delete;

    Host &host() { return host_; }
    HostItem &item() { return *item_; }
    void *instance() const { return instance_; }
    const host::CameraHandlerRecord &handler() const { return records_.record; }

    // The parameter behind a channel of the camera; throws HostError for an unknown channel.
    HostParam &channel(const std::string &channelName);
    // A plain value set through the parameter service, as the host's own panels do.
    void setValue(const std::string &channelName, double value);
    void setKey(const std::string &channelName, double time, double value);
    // Moves the host's time and lets the camera evaluate its parameters there.
    void setTime(double time);

    // The item and the camera's data, and loading them back, the way the host saves scenes.
    Scene save();
    void load(const Scene &scene, const std::string &fileName);

    // Opens the camera's settings panel and returns it as text.
    std::string panelText();

  private:
    Host host_;
    PanelToolkit toolkit_{host_};
    std::string serverName_;
    std::unique_ptr<ModuleFile> module_;
    HandlerRecords records_;
    HostItem *item_ = nullptr;
    void *instance_ = nullptr;
};

} // namespace minihost
