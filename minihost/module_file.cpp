#include "minihost/module_file.h"

#include <cstdio>

namespace minihost {

namespace {

std::string Hex(std::uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", word);
    return text;
}

} // namespace

ModuleFile::ModuleFile(const std::string &path)
    : path_(path), library_(std::make_unique<ModuleLibrary>(path)) {
    descriptor_ =
        static_cast<const host::ModuleDescriptor *>(library_->symbol(host::kDescriptorSymbol));
    std::string problem;
    if (!descriptor_) {
        problem = std::string("not a module: it exports no ") + host::kDescriptorSymbol;
    } else if (descriptor_->syncWord != host::kModuleSyncWord) {
        problem = "not a module: synchronisation word " + Hex(descriptor_->syncWord) +
                  ", expected " + Hex(host::kModuleSyncWord);
    } else if (descriptor_->moduleVersion != host::kModuleVersion) {
        problem = "module interface version " + std::to_string(descriptor_->moduleVersion) +
                  ", this host supports " + std::to_string(host::kModuleVersion);
    } else if (descriptor_->machine != host::kModuleMachine) {
        problem = "built for machine " + Hex(descriptor_->machine) + ", expected " +
                  Hex(host::kModuleMachine);
    } else if (!descriptor_->startup || !descriptor_->servers) {
        problem = "not a module: its descriptor has no start-up function or server table";
    } else if (!(token_ = descriptor_->startup())) {
        problem = "the module refused to start";
    }
    if (!problem.empty()) {
        throw HostError(path + ": " + problem);
    }
}

ModuleFile::~ModuleFile() {
    if (descriptor_->shutdown) {
        descriptor_->shutdown(token_);
    }
}

const host::ServerRecord *ModuleFile::findServer(const std::string &className,
                                                 const std::string &serverName) const {
    // The table ends with an all-null record; a bound keeps a broken table from running away.
    for (int i = 0; i < 1024; ++i) {
        const host::ServerRecord &record = descriptor_->servers[i];
        if (!record.className) {
            return nullptr;
        }
        if (className == record.className && record.serverName && serverName == record.serverName) {
            return &record;
        }
    }
    return nullptr;
}

const host::ServerRecord &ModuleFile::server(const std::string &className,
                                             const std::string &serverName) const {
    const host::ServerRecord *found = findServer(className, serverName);
    if (!found) {
        throw HostError(path_ + ": no server of class " + className + " named " + serverName);
    }
    return *found;
}

std::string ActivationResultText(int result) {
    switch (result) {
    case host::kActivateOk:
        return "success";
    case host::kActivateBadVersion:
        return "unsupported version";
    case host::kActivateBadGlobal:
        return "a required global service is missing";
    default:
        return "unknown result " + std::to_string(result);
    }
}

HandlerRecords::HandlerRecords() {
    record.inst = &inst;
    record.hostItemFuncs = &itemSentinel;
    record.hostRenderFuncs = &renderSentinel;
}

int Activate(const host::ServerRecord &server, Host &host, int version, void *local) {
    return server.activate(version, host.globalFunc(), local, nullptr);
}

void ActivateOrThrow(const host::ServerRecord &server, Host &host, int version, void *local) {
    size_t missingBefore = host.missingLookups().size();
    int result = Activate(server, host, version, local);
    if (result == host::kActivateOk) {
        return;
    }
    std::string message = std::string("activation of ") + server.className + " " +
                          server.serverName + " failed: " + ActivationResultText(result);
    const auto &missing = host.missingLookups();
    for (size_t i = missingBefore; i < missing.size(); ++i) {
        message += (i == missingBefore ? " (" : ", ") + missing[i];
    }
    if (missing.size() > missingBefore) {
        message += ")";
    }
    throw HostError(message);
}

} // namespace minihost
