#pragma once

#include "host/calling.h"
#include "host/global.h"

#include <cstddef>
#include <cstdint>

namespace host {

// Name of the one data symbol the host reads from a module file.
constexpr char kDescriptorSymbol[] = "_mod_descrip";

constexpr std::uint32_t kModuleSyncWord = 0x04121994;
constexpr std::uint32_t kModuleVersion = 3;
constexpr std::uint32_t kModuleMachine = 0x300;

// Server classes the camera plug-in offers.
constexpr char kCameraHandlerClass[] = "CameraHandler";
constexpr char kCameraInterfaceClass[] = "CameraInterface";

// Interface versions the host passes to the activations.
constexpr int kCameraHandlerVersion = 1;
constexpr int kCameraInterfaceVersion = 4;

// Results of an activation.
constexpr int kActivateOk = 0;
constexpr int kActivateBadVersion = 1;
constexpr int kActivateBadGlobal = 2;

typedef int(HOST_CALL *ActivateFunc)(int version, GlobalFunc global, void *local, void *serverData);
typedef void *(HOST_CALL *StartupFunc)(void);
typedef void(HOST_CALL *ShutdownFunc)(void *token);

struct ServerRecord {
    const char *className;
    const char *serverName;
    ActivateFunc activate;
    const void *tags;
};

struct ModuleDescriptor {
    std::uint32_t syncWord;
    std::uint32_t moduleVersion;
    std::uint32_t machine;
    StartupFunc startup;
    ShutdownFunc shutdown;
    const ServerRecord *servers;
};

static_assert(offsetof(ServerRecord, className) == SlotOffset(0), "server record layout");
static_assert(offsetof(ServerRecord, serverName) == SlotOffset(1), "server record layout");
static_assert(offsetof(ServerRecord, activate) == SlotOffset(2), "server record layout");
static_assert(offsetof(ServerRecord, tags) == SlotOffset(3), "server record layout");
static_assert(sizeof(ServerRecord) == SlotOffset(4), "server record layout");

// Three 32-bit words, then the pointers at the next pointer boundary (12 on 32 bits, 16 on 64).
constexpr std::size_t kDescriptorPointersOffset =
    (3 * sizeof(std::uint32_t) + alignof(void *) - 1) / alignof(void *) * alignof(void *);
static_assert(offsetof(ModuleDescriptor, syncWord) == 0, "descriptor layout");
static_assert(offsetof(ModuleDescriptor, moduleVersion) == 4, "descriptor layout");
static_assert(offsetof(ModuleDescriptor, machine) == 8, "descriptor layout");
static_assert(offsetof(ModuleDescriptor, startup) == kDescriptorPointersOffset,
              "descriptor layout");
static_assert(offsetof(ModuleDescriptor, shutdown) == kDescriptorPointersOffset + sizeof(void *),
              "descriptor layout");
static_assert(offsetof(ModuleDescriptor, servers) == kDescriptorPointersOffset + 2 * sizeof(void *),
              "descriptor layout");

} // namespace host
