#include "minihost/host.h"
#include "minihost/module_library.h"

#include <windows.h>

#include <vector>

namespace minihost {

namespace {

std::wstring Wide(const std::string &text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) {
        return std::wstring();
    }
    std::vector<wchar_t> wide(static_cast<size_t>(length));
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    return std::wstring(wide.data());
}

std::string SystemMessage(DWORD error) {
    char *text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

} // namespace

ModuleLibrary::ModuleLibrary(const std::string &path) {
    const std::wstring wide = Wide(path);
    if (wide.empty() || GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) {
        throw HostError(path + ": no such module file");
    }
    // A full path keeps LoadLibrary from searching the system folders and PATH, and lets the
    // module's own folder be searched for anything it needs.
    wchar_t full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(wide.c_str(), MAX_PATH * 4, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 4) {
        throw HostError(path + ": no such module file");
    }
    HMODULE module = LoadLibraryExW(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        throw HostError(path + ": not a module the host can load (" +
                        SystemMessage(GetLastError()) + ")");
    }
    handle_ = reinterpret_cast<void *>(module);
}

ModuleLibrary::~ModuleLibrary() {
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
}

void *ModuleLibrary::symbol(const char *name) const {
    return reinterpret_cast<void *>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
}

} // namespace minihost
