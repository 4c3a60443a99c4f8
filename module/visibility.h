#pragma once

// The module exports exactly one symbol; the build hides everything else by default.
#if defined(_WIN32)
#define MODULE_EXPORT __declspec(dllexport)
#else
#define MODULE_EXPORT __attribute__((visibility("default")))
#endif
