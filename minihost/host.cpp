#include "minihost/host.h"

#include "minihost/active_host.h"
#include "minihost/scene_states.h"

#include <cstdio>
#include <cstdlib>

namespace minihost {

namespace {

constexpr const char *kParamService = host::kParamServiceName;
constexpr const char *kItemInfo = host::kItemInfoServiceName;
constexpr const char *kInstanceUpdate = host::kInstanceUpdateServiceName;

void *HOST_CALL GlobalLookup(const char *name, int useMode) {
    return ActiveHost().lookup(name, useMode);
}

host::ParamHandle HOST_CALL ParamCreate(int typeCode, int envelopeType) {
    Host &h = ActiveHost();
    HostParam *param = h.createParam(typeCode, envelopeType);
    h.log.add(kParamService, "create",
              {HexText(static_cast<unsigned>(typeCode)), std::to_string(envelopeType),
               param ? h.nameOf(h.handle(param)) : "null"});
    return param ? h.handle(param) : nullptr;
}

void HOST_CALL ParamDestroy(host::ParamHandle handle) {
    Host &h = ActiveHost();
    h.log.add(kParamService, "destroy", {h.nameOf(handle)});
    if (HostParam *param = h.usableParam(handle, "destroy")) {
        param->destroyed = true;
        if (param->group) {
            auto &channels = param->group->channels;
            for (auto it = channels.begin(); it != channels.end(); ++it) {
                if (*it == param) {
                    channels.erase(it);
                    break;
                }
            }
        }
    }
}

int HOST_CALL ParamSetup(host::ParamHandle handle, const char *channelName, host::GroupHandle group,
                         void *a, void *b, void *c, void *d) {
    Host &h = ActiveHost();
    std::string name = channelName ? channelName : "(null)";
    h.log.add(kParamService, "setup",
              {h.nameOf(handle), name, h.nameOf(group), Host::pointerText(a), Host::pointerText(b),
               Host::pointerText(c), Host::pointerText(d)});
    HostParam *param = h.usableParam(handle, "setup");
    if (!param) {
        return 0;
    }
    if (param->group) {
        h.reportMisuse(h.nameOf(handle) + " set up twice");
        return 0;
    }
    param->channelName = name;
    param->group = reinterpret_cast<HostChannelGroup *>(group);
    if (param->group) {
        param->group->channels.push_back(param);
    }
    return 1;
}

int HOST_CALL ParamEvaluate(host::ParamHandle handle, double time, void *context, double *result) {
    Host &h = ActiveHost();
    h.log.add(kParamService, "evaluate",
              {h.nameOf(handle), FormatDouble(time), Host::pointerText(context)});
    HostParam *param = h.usableParam(handle, "evaluate");
    if (!param || !result) {
        return 0;
    }
    // Written as a vector result so that a caller passing room for fewer than three doubles
    // is caught by the sanitizers.
    result[0] = param->envelope.evaluate(time);
    result[1] = 0.0;
    result[2] = 0.0;
    return 1;
}

int HOST_CALL ParamSetValue(host::ParamHandle handle, double *value) {
    Host &h = ActiveHost();
    h.log.add(kParamService, "setValue", {h.nameOf(handle), value ? FormatDouble(*value) : "null"});
    HostParam *param = h.usableParam(handle, "setValue");
    if (!param || !value) {
        return 0;
    }
    param->envelope.setValue(*value);
    return 1;
}

host::GroupHandle HOST_CALL ItemChanGroup(host::ItemId item) {
    Host &h = ActiveHost();
    HostItem *hostItem = reinterpret_cast<HostItem *>(item);
    host::GroupHandle group =
        hostItem ? reinterpret_cast<host::GroupHandle>(&hostItem->group) : nullptr;
    h.log.add(kItemInfo, "chanGroup", {hostItem ? hostItem->name : "null", h.nameOf(group)});
    return group;
}

int HOST_CALL InstanceUpdate(const char *className, void *instance) {
    Host &h = ActiveHost();
    h.log.add(kInstanceUpdate, "notify",
              {className ? className : "null", Host::pointerText(instance)});
    return 1;
}

} // namespace

const std::vector<std::string> &HostServiceNames() {
    static const std::vector<std::string> names = {
        host::kParamServiceName,    host::kItemInfoServiceName, host::kEnvelopeServiceName,
        host::kTimeInfoServiceName, host::kPanelServiceName,    host::kInstanceUpdateServiceName,
    };
    return names;
}

std::string FormatDouble(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string HexText(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
}

Host::Host() {
    paramService_.create = ParamCreate;
    paramService_.destroy = ParamDestroy;
    paramService_.setup = ParamSetup;
    paramService_.load = ParamLoadFromState;
    paramService_.save = ParamSaveToState;
    paramService_.evaluate = ParamEvaluate;
    paramService_.setValue = ParamSetValue;
    itemInfo_.chanGroup = ItemChanGroup;
    PushActiveHost(this);
}

Host::~Host() {
    PopActiveHost(this);
}

host::GlobalFunc Host::globalFunc() const {
    return GlobalLookup;
}

void *Host::lookup(const char *name, int useMode) {
    std::string service = name ? name : "(null)";
    log.add("global", "lookup", {service, std::to_string(useMode)});
    void *found = nullptr;
    if (!faults.missingServices.count(service)) {
        if (service == kParamService) {
            found = &paramService_;
        } else if (service == kItemInfo) {
            found = &itemInfo_;
        } else if (service == host::kEnvelopeServiceName) {
            found = envelopeService_;
        } else if (service == host::kTimeInfoServiceName) {
            found = &timeInfo_;
        } else if (service == kInstanceUpdate) {
            found = reinterpret_cast<void *>(&InstanceUpdate);
        } else {
            auto extra = extraServices_.find(service);
            found = extra == extraServices_.end() ? nullptr : extra->second;
        }
    }
    if (!found) {
        missing_.push_back(service);
    }
    return found;
}

HostItem *Host::addItem(const std::string &name) {
    items_.push_back(std::make_unique<HostItem>());
    items_.back()->name = name;
    items_.back()->group.name = name;
    return items_.back().get();
}

HostParam *Host::createParam(int typeCode, int envelopeType) {
    ++creates_;
    if (faults.refuseParamCreate == creates_) {
        return nullptr;
    }
    params_.push_back(std::make_unique<HostParam>());
    HostParam *param = params_.back().get();
    param->serial = static_cast<int>(params_.size());
    param->typeCode = typeCode;
    param->envelopeType = envelopeType;
    paramsByHandle_[param] = param;
    return param;
}

std::vector<HostParam *> Host::liveParams() const {
    std::vector<HostParam *> live;
    for (const auto &param : params_) {
        if (!param->destroyed) {
            live.push_back(param.get());
        }
    }
    return live;
}

HostParam *Host::param(host::ParamHandle handle) const {
    auto found = paramsByHandle_.find(handle);
    return found == paramsByHandle_.end() ? nullptr : found->second;
}

HostParam *Host::usableParam(host::ParamHandle handle, const char *member) {
    HostParam *found = param(handle);
    if (!found) {
        reportMisuse(std::string(member) + " on unknown parameter " + pointerText(handle));
        return nullptr;
    }
    if (found->destroyed) {
        reportMisuse(std::string(member) + " on destroyed " + nameOf(handle));
        return nullptr;
    }
    return found;
}

HostParam *Host::channel(HostItem *item, const std::string &channelName) const {
    for (HostParam *param : item->group.channels) {
        if (param->channelName == channelName) {
            return param;
        }
    }
    return nullptr;
}

std::string Host::nameOf(host::ParamHandle handle) const {
    if (!handle) {
        return "null";
    }
    HostParam *found = param(handle);
    return found ? "param#" + std::to_string(found->serial) : pointerText(handle);
}

std::string Host::nameOf(host::GroupHandle group) const {
    if (!group) {
        return "null";
    }
    for (const auto &item : items_) {
        if (reinterpret_cast<host::GroupHandle>(&item->group) == group) {
            return "group:" + item->name;
        }
    }
    return pointerText(group);
}

std::string Host::pointerText(const void *pointer) {
    if (!pointer) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%p", pointer);
    return text;
}

const char *Host::keepText(std::string text) {
    texts_.push_back(std::make_unique<std::string>(std::move(text)));
    return texts_.back()->c_str();
}

} // namespace minihost
