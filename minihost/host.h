#pragma once

#include "host/camera_records.h"
#include "host/global.h"
#include "host/item.h"
#include "host/param_service.h"
#include "minihost/call_log.h"
#include "minihost/envelope.h"

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace minihost {

// An error of the stand-in host itself: a module that cannot be loaded, a bad scene file.
class HostError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct HostParam;
class PanelToolkit;

struct HostChannelGroup {
    std::string name;
    std::vector<HostParam *> channels;
};

// A parameter of the parameter service: an animation channel once it is set up.
struct HostParam {
    int serial = 0; // 1 for the first parameter this host created
    int typeCode = 0;
    int envelopeType = 0;
    std::string channelName;
    HostChannelGroup *group = nullptr;
    Envelope envelope;
    bool destroyed = false;
};

// A scene item. Heading, pitch and bank are in radians, applied bank first, then pitch, then
// heading: heading turns from +Z towards +X, positive pitch looks down (towards -Y), positive
// bank rolls the top of the view towards +X. The world is left-handed with +Y up.
struct HostItem {
    std::string name;
    HostChannelGroup group;
    double position[3] = {0.0, 0.0, 0.0};
    double heading = 0.0;
    double pitch = 0.0;
    double bank = 0.0;
};

// What a test or a tool can make the host do wrong.
struct HostFaults {
    std::set<std::string> missingServices; // the lookup answers null for these
    int refuseParamCreate = 0;     // the n-th create (1 for the first) answers null; 0 never
    std::string refuseSaveChannel; // saving this channel answers an error text
    std::string refuseLoadChannel; // loading this channel answers an error text
    bool refusePanel = false;      // the panel toolkit's create answers null
};

// The stand-in host: the global services a module looks up, backed by real parameters with
// keyframes, items with channel groups and a current time. One host is active at a time; the
// function tables handed to the module reach the one most recently made that still exists
// (see active_host.h).
class Host {
  public:
    Host();
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    HostFaults faults;
    CallLog log;

    host::GlobalFunc globalFunc() const;
    void *lookup(const char *name, int useMode);
    // Services asked for that the host did not have, in the order they were asked for.
    const std::vector<std::string> &missingLookups() const { return missing_; }

    double time() const { return timeInfo_.time; }
    void setTime(double time) { timeInfo_.time = time; }

    HostItem *addItem(const std::string &name);
    host::ItemId itemId(HostItem *item) const { return reinterpret_cast<host::ItemId>(item); }

    std::vector<HostParam *> liveParams() const;
    HostParam *param(host::ParamHandle handle) const;
    host::ParamHandle handle(HostParam *param) const {
        return reinterpret_cast<host::ParamHandle>(param);
    }
    // The live channel of that name in the item's group, or null.
    HostParam *channel(HostItem *item, const std::string &channelName) const;

    // Problems the host saw in the module's calls (a destroyed or unknown parameter used, a
    // parameter set up twice); a correct module leaves this empty.
    const std::vector<std::string> &misuse() const { return misuse_; }
    void reportMisuse(std::string what) { misuse_.push_back(std::move(what)); }

    // Host names of handles, as they appear in the call log.
    std::string nameOf(host::ParamHandle handle) const;
    std::string nameOf(host::GroupHandle group) const;
    static std::string pointerText(const void *pointer);

    const host::ParamService &paramService() const { return paramService_; }

    // Keeps an error text alive for as long as the host, so it can be handed to the module.
    const char *keepText(std::string text);

    HostParam *createParam(int typeCode, int envelopeType);
    // Null when the handle is unknown or destroyed; records the misuse.
    HostParam *usableParam(host::ParamHandle handle, const char *member);

    // Adds a service of the caller's, found by name like the host's own.
    void provide(const std::string &name, void *service) { extraServices_[name] = service; }

    // The panel toolkit serving this host's "LWXPanel", or null; set by the toolkit itself.
    PanelToolkit *toolkit() const { return toolkit_; }
    void attachToolkit(PanelToolkit *toolkit) { toolkit_ = toolkit; }

  private:
    host::ParamService paramService_{};
    host::ItemInfoService itemInfo_{};
    host::TimeInfo timeInfo_{};
    int envelopeService_[4] = {};
    std::map<std::string, void *> extraServices_;
    std::vector<std::unique_ptr<HostParam>> params_;
    std::unordered_map<const void *, HostParam *> paramsByHandle_;
    std::vector<std::unique_ptr<HostItem>> items_;
    std::vector<std::string> missing_;
    std::vector<std::string> misuse_;
    std::vector<std::unique_ptr<std::string>> texts_;
    int creates_ = 0;
    PanelToolkit *toolkit_ = nullptr;
};

// Names of the services a host offers plug-ins: those the stand-in host provides.
const std::vector<std::string> &HostServiceNames();

std::string FormatDouble(double value);
// "0x" and the value in lower-case hex, as type codes and ids are written.
std::string HexText(unsigned long value);

} // namespace minihost
