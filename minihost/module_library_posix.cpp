#include "minihost/host.h"
#include "minihost/module_library.h"

#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <sys/stat.h>
#include <vector>

namespace minihost {

namespace {

// For an ELF file cut short, an empty text if it is whole or not ELF at all (the loader
// judges those). The loader maps segments beyond the end of a file without complaint and the
// process dies of a bus error when it touches them, so this must be known before loading.
template <typename Header, typename ProgramHeader>
std::string CutShort(const std::vector<char> &head, std::ifstream &in, unsigned long long size) {
    if (head.size() < sizeof(Header)) {
        return "the file ends inside its ELF header";
    }
    Header header;
    std::memcpy(&header, head.data(), sizeof header);
    const unsigned long long tableEnd =
        header.e_phoff + static_cast<unsigned long long>(header.e_phnum) * header.e_phentsize;
    if (header.e_phentsize != sizeof(ProgramHeader) || tableEnd > size) {
        return "the file ends inside its program headers";
    }
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        ProgramHeader segment;
        in.seekg(static_cast<std::streamoff>(header.e_phoff + i * sizeof segment));
        if (!in.read(reinterpret_cast<char *>(&segment), sizeof segment)) {
            return "the file cannot be read";
        }
        const unsigned long long end = segment.p_offset + segment.p_filesz;
        if (end > size) {
            return "it is cut short: a segment ends at byte " + std::to_string(end) +
                   ", the file has " + std::to_string(size);
        }
    }
    return "";
}

std::string WhyCutShort(const std::string &path, unsigned long long size) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> head(sizeof(Elf64_Ehdr), 0);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    in.clear();
    if (head.size() < EI_NIDENT || std::memcmp(head.data(), ELFMAG, SELFMAG) != 0) {
        return "";
    }
    if (head[EI_CLASS] == ELFCLASS32) {
        return CutShort<Elf32_Ehdr, Elf32_Phdr>(head, in, size);
    }
    if (head[EI_CLASS] == ELFCLASS64) {
        return CutShort<Elf64_Ehdr, Elf64_Phdr>(head, in, size);
    }
    return "";
}

} // namespace

ModuleLibrary::ModuleLibrary(const std::string &path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        throw HostError(path + ": no such module file");
    }
    if (S_ISDIR(info.st_mode)) {
        throw HostError(path + ": is a directory, not a module file");
    }
    const std::string cut = WhyCutShort(path, static_cast<unsigned long long>(info.st_size));
    if (!cut.empty()) {
        throw HostError(path + ": not a module the host can load (" + cut + ")");
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
