#pragma once

#include "host/calling.h"

#include <cstddef>
#include <cstdint>

namespace host {

// Float block transfer of a scene state: (data handle, floats, count). The read returns how
// many floats it delivered.
typedef int(HOST_CALL *ReadFloatsFunc)(void *data, float *values, int count);
typedef int(HOST_CALL *WriteFloatsFunc)(void *data, const float *values, int count);

// The host's load and save states. Only the data handle (member 1) and the float transfer
// (member 9) are used by the camera; the rest is the host's.
struct LoadState {
    std::intptr_t ioMode;
    void *data;
    void *unused[7];
    ReadFloatsFunc readFloats;
};

struct SaveState {
    std::intptr_t ioMode;
    void *data;
    void *unused[7];
    WriteFloatsFunc writeFloats;
};

static_assert(offsetof(LoadState, data) == SlotOffset(1), "load state layout");
static_assert(offsetof(LoadState, readFloats) == SlotOffset(9), "load state layout");
static_assert(offsetof(SaveState, data) == SlotOffset(1), "save state layout");
static_assert(offsetof(SaveState, writeFloats) == SlotOffset(9), "save state layout");

} // namespace host
