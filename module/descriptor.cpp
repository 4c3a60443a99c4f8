#include "host/module_descriptor.h"
#include "module/activations.h"
#include "module/names.h"
#include "module/visibility.h"

namespace {

// Called by the host once, right after it loads the module. Any non-null token means the
// module started.
void *HOST_CALL ModuleStartup(void) {
    return reinterpret_cast<void *>(4);
}

// Called by the host once, before it unloads the module. There is nothing to release: every
// service handle belongs to the host.
void HOST_CALL ModuleShutdown(void * /*token*/) {}

const host::ServerRecord kServers[] = {
    {host::kCameraHandlerClass, kServerName, HandlerActivate, nullptr},
    {host::kCameraInterfaceClass, kServerName, InterfaceActivate, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace

extern "C" MODULE_EXPORT const host::ModuleDescriptor _mod_descrip = {
    host::kModuleSyncWord, host::kModuleVersion, host::kModuleMachine,
    ModuleStartup,         ModuleShutdown,       kServers,
};
