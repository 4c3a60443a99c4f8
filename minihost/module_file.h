#pragma once

#include "host/camera_records.h"
#include "host/module_descriptor.h"
#include "minihost/host.h"
#include "minihost/module_library.h"

#include <memory>
#include <string>

namespace minihost {

// A module file loaded the way the host loads it: through its descriptor only. The module
// is started on open and shut down and unloaded when this object goes.
class ModuleFile {
  public:
    // Throws HostError naming the file and what is wrong with it.
    explicit ModuleFile(const std::string &path);
    ~ModuleFile();
    ModuleFile(const ModuleFile &) = delete;
    ModuleFile &operator=(const ModuleFile &) = delete;

    const std::string &path() const { return path_; }
    const host::ModuleDescriptor &descriptor() const { return *descriptor_; }
    void *startupToken() const { return token_; }

    // The server record of that class and name, or null.
    const host::ServerRecord *findServer(const std::string &className,
                                         const std::string &serverName) const;
    // Throws HostError when the module has no such server.
    const host::ServerRecord &server(const std::string &className,
                                     const std::string &serverName) const;

  private:
    std::string path_;
    std::unique_ptr<ModuleLibrary> library_;
    const host::ModuleDescriptor *descriptor_ = nullptr;
    void *token_ = nullptr;
};

// Text for an activation result: "success", "unsupported version", "a required global service
// is missing".
std::string ActivationResultText(int result);

// The records the host lends the camera handler's activation. Members 1 and 2 of the handler
// record carry sentinels so a test can see that the module left them alone.
struct HandlerRecords {
    HandlerRecords();
    HandlerRecords(const HandlerRecords &) = delete;
    HandlerRecords &operator=(const HandlerRecords &) = delete;
    host::InstanceFuncs inst{};
    host::CameraHandlerRecord record{};
    int itemSentinel = 0;
    int renderSentinel = 0;
};

// Calls the server's activation with the host's lookup function and returns its result.
int Activate(const host::ServerRecord &server, Host &host, int version, void *local);

// Activates the camera handler and throws HostError with the result's meaning (and the
// services the host could not give) unless it succeeds.
void ActivateOrThrow(const host::ServerRecord &server, Host &host, int version, void *local);

} // namespace minihost
