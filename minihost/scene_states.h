#pragma once

#include "host/camera_records.h"
#include "host/param_service.h"
#include "host/scene_states.h"
#include "minihost/host.h"
#include "minihost/scene_file.h"

#include <string>
#include <vector>

namespace minihost {

// A save state that records what a plug-in writes: parameters and float blocks, in order.
class SaveStateRecorder {
  public:
    explicit SaveStateRecorder(Host &host);
    SaveStateRecorder(const SaveStateRecorder &) = delete;
    SaveStateRecorder &operator=(const SaveStateRecorder &) = delete;
    const host::SaveState *state() const { return &state_; }
    Host &host() { return host_; }

    std::vector<SceneDataItem> items;

  private:
    Host &host_;
    host::SaveState state_{};
};

// A load state that hands a plug-in the items of a scene, in order. A parameter load that
// finds something other than that parameter next is an error text naming the file and line.
class LoadStateReader {
  public:
    LoadStateReader(Host &host, const std::vector<SceneDataItem> &items, std::string fileName);
    LoadStateReader(const LoadStateReader &) = delete;
    LoadStateReader &operator=(const LoadStateReader &) = delete;
    const host::LoadState *state() const { return &state_; }
    Host &host() { return host_; }

    // How many items the plug-in has read so far.
    size_t consumed() const { return next_; }

    // Null on success, else an error text that lives as long as the host.
    const char *loadParam(HostParam &param);
    // Delivers at most count floats of the next float block; 0 if the next item is not one.
    int readFloats(float *values, int count);

  private:
    Host &host_;
    const std::vector<SceneDataItem> &items_;
    std::string fileName_;
    size_t next_ = 0;
    host::LoadState state_{};
};

// The parameter service's save and load, through the states above.
const char *HOST_CALL ParamSaveToState(host::ParamHandle handle, const host::SaveState *state);
const char *HOST_CALL ParamLoadFromState(host::ParamHandle handle, const host::LoadState *state);

// Saves a camera instance the way the host saves a scene. Throws HostError with the module's
// error text if it refuses.
SceneCamera SaveCamera(Host &host, const host::InstanceFuncs &funcs, void *instance,
                       const HostItem &item, const std::string &className,
                       const std::string &serverName);

// Loads a camera instance from a scene's data. Throws HostError with the module's error text.
void LoadCamera(Host &host, const host::InstanceFuncs &funcs, void *instance,
                const SceneCamera &camera, const std::string &fileName);

} // namespace minihost
