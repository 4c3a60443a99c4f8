#pragma once

#include <string>

namespace minihost {

// The operating system's loader, as the host uses it to map a module file and find its
// descriptor. A module path is always a file path, relative to the current directory unless
// it is absolute; it is never looked up on a library search path.
class ModuleLibrary {
  public:
    // Throws HostError "PATH: no such module file" or "PATH: not a module the host can load
    // (the loader's reason)".
    explicit ModuleLibrary(const std::string &path);
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary &) = delete;
    ModuleLibrary &operator=(const ModuleLibrary &) = delete;

    // The address of an exported symbol, or null when the module has none of that name.
    void *symbol(const char *name) const;

  private:
    void *handle_ = nullptr;
};

} // namespace minihost
