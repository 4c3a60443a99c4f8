#include "minihost/host.h"
#include "minihost/module_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace minihost {

ModuleLibrary::ModuleLibrary(const std::string &path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        throw HostError(path + ": no such module file");
    }
    // dlopen searches the library path for a name without a slash; a module is a file here.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *why = dlerror();
        throw HostError(path + ": not a module the host can load (" + (why ? why : "?") + ")");
    }
}

ModuleLibrary::~ModuleLibrary() {
    dlclose(handle_);
}

void *ModuleLibrary::symbol(const char *name) const {
    return dlsym(handle_, name);
}

} // namespace minihost
