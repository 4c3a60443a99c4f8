#pragma once

// The host calls plug-in functions and its own services with the C default convention. On
// 32-bit x86 that is cdecl and is spelled out so a compiler flag such as -mrtd cannot change
// it; elsewhere there is only one convention and the attribute would be an error.
#if defined(__i386__)
#define HOST_CALL __attribute__((cdecl))
#else
#define HOST_CALL
#endif

namespace host {

// Offset of the n-th member of a record made only of pointer-sized members.
constexpr unsigned long SlotOffset(unsigned long n) {
    return n * sizeof(void *);
}

} // namespace host
