#include "minihost/panel_toolkit.h"

#include "minihost/active_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace minihost {

namespace {

constexpr const char *kPanelService = host::kPanelServiceName;
// Longest text the toolkit reads from a control table or a hint.
constexpr size_t kMaxText = 256;
// Most records the toolkit reads from one control table or data description.
constexpr size_t kMaxRecords = 256;

PanelToolkit &Toolkit() {
    PanelToolkit *toolkit = ActiveHost().toolkit();
    if (!toolkit) {
        std::fprintf(stderr, "stand-in host: the panel service was called with no toolkit\n");
        std::abort();
    }
    return *toolkit;
}

std::string Text(const char *text) {
    return text ? std::string(text, strnlen(text, kMaxText)) : std::string("(null)");
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

host::PanelHandle HOST_CALL Create(int type, const host::PanelControl *controls) {
    PanelToolkit &toolkit = Toolkit();
    RecordedPanel *panel = toolkit.create(type, controls);
    host::PanelHandle handle = panel ? toolkit.handle(panel) : nullptr;
    toolkit.host().log.add(
        kPanelService, "create",
        {std::to_string(type), Host::pointerText(controls), Host::pointerText(handle)});
    return handle;
}

int HOST_CALL Describe(host::PanelHandle handle, const host::PanelDataDesc *data,
                       host::PanelGetFunc get, host::PanelSetFunc set) {
    PanelToolkit &toolkit = Toolkit();
    toolkit.host().log.add(kPanelService, "describe",
                           {Host::pointerText(handle), Host::pointerText(data),
                            Host::pointerText(reinterpret_cast<void *>(get)),
                            Host::pointerText(reinterpret_cast<void *>(set))});
    RecordedPanel *panel = toolkit.panel(handle);
    if (!panel) {
        toolkit.host().reportMisuse("describe of unknown panel");
        return 0;
    }
    panel->get = get;
    panel->set = set;
    for (size_t i = 0; data; ++i) {
        if (i == kMaxRecords) {
            panel->errors.push_back("the data description has no end record");
            break;
        }
        if (data[i].id == 0) {
            panel->dataEndAllNull = !data[i].name && !data[i].dataType;
            break;
        }
        panel->data.push_back({data[i].id, Text(data[i].name), Text(data[i].dataType)});
    }
    return 1;
}

void HOST_CALL Hint(host::PanelHandle handle, host::PanelElementId id,
                    const host::HintWord *hints) {
    PanelToolkit &toolkit = Toolkit();
    toolkit.host().log.add(kPanelService, "hint",
                           {Host::pointerText(handle), HexText(id), Host::pointerText(hints)});
    RecordedPanel *panel = toolkit.panel(handle);
    if (!panel) {
        toolkit.host().reportMisuse("hint on unknown panel");
        return;
    }
    try {
        panel->hints[id] = DecodeHints(hints);
    } catch (const HostError &e) {
        panel->errors.push_back(e.what());
    }
}

void HOST_CALL SetData(host::PanelHandle handle, host::PanelElementId id, void *data) {
    PanelToolkit &toolkit = Toolkit();
    toolkit.host().log.add(kPanelService, "setData",
                           {Host::pointerText(handle), HexText(id), Host::pointerText(data)});
    if (RecordedPanel *panel = toolkit.panel(handle)) {
        panel->elementData[id] = data;
    } else {
        toolkit.host().reportMisuse("setData on unknown panel");
    }
}

int HOST_CALL ViewInstance(host::PanelHandle handle, void *instance) {
    PanelToolkit &toolkit = Toolkit();
    toolkit.host().log.add(kPanelService, "viewInstance",
                           {Host::pointerText(handle), Host::pointerText(instance)});
    RecordedPanel *panel = toolkit.panel(handle);
    if (!panel) {
        toolkit.host().reportMisuse("viewInstance on unknown panel");
        return 0;
    }
    panel->viewInstance = instance;
    return 1;
}

} // namespace

DecodedHints DecodeHints(const host::HintWord *words, size_t maxWords) {
    DecodedHints hints;
    if (!words) {
        throw HostError("the hint list is null");
    }
    size_t at = 0;
    auto word = [&](const char *what) -> host::HintWord {
        if (at >= maxWords) {
            throw HostError("the hint list has no end within " + std::to_string(maxWords) +
                            " words (reading " + what + ")");
        }
        hints.words.push_back(words[at]);
        return words[at++];
    };
    auto id = [&](const char *what) { return static_cast<host::PanelElementId>(word(what)); };
    auto expectEnd = [&](const char *what) {
        size_t where = at;
        if (word(what) != 0) {
            throw HostError(std::string(what) + " is not ended by 0 at word " +
                            std::to_string(where));
        }
    };
    for (;;) {
        const size_t where = at;
        const host::HintWord tag = word("a tag");
        if (tag == host::kHintEnd) {
            return hints;
        }
        if (tag == host::kHintGroup) {
            PanelGroup group{id("a group id"), {}};
            while (host::PanelElementId member = id("a group member")) {
                group.members.push_back(member);
            }
            hints.groups.push_back(group);
        } else if (tag == host::kHintLabel) {
            host::PanelElementId element = id("a label's element");
            hints.labels[element] = Text(reinterpret_cast<const char *>(word("a label")));
            expectEnd("a label");
        } else if (tag == host::kHintCallback) {
            hints.callbacks.push_back(word("a callback"));
        } else if (tag == host::kHintCallbackWithData) {
            hints.callbacks.push_back(word("a callback"));
            word("a callback's data");
        } else if (tag == host::kHintMinimum || tag == host::kHintMaximum ||
                   tag == host::kHintStep) {
            host::PanelElementId element = id("a limit's element");
            // Limits are 32-bit signed words in the host, whatever the pointer width here.
            long value = static_cast<std::int32_t>(word("a limit"));
            auto &limits = tag == host::kHintMinimum   ? hints.minimum
                           : tag == host::kHintMaximum ? hints.maximum
                                                       : hints.step;
            limits[element] = value;
        } else {
            throw HostError("unknown hint tag " + HexText(static_cast<unsigned long>(tag)) +
                            " at word " + std::to_string(where));
        }
    }
}

PanelToolkit::PanelToolkit(Host &host) : host_(host) {
    service_.create = Create;
    service_.describe = Describe;
    service_.hint = Hint;
    service_.setData = SetData;
    service_.viewInstance = ViewInstance;
    host_.provide(kPanelService, &service_);
    host_.attachToolkit(this);
}

PanelToolkit::~PanelToolkit() {
    host_.provide(kPanelService, nullptr);
    host_.attachToolkit(nullptr);
}

RecordedPanel *PanelToolkit::create(int type, const host::PanelControl *controls) {
    if (host_.faults.refusePanel) {
        return nullptr;
    }
    auto panel = std::make_unique<RecordedPanel>();
    panel->type = type;
    for (size_t i = 0; controls; ++i) {
        if (i == kMaxRecords) {
            panel->errors.push_back("the control table has no end record");
            break;
        }
        if (controls[i].id == 0) {
            panel->controlsEndAllNull = !controls[i].label && !controls[i].controlClass;
            break;
        }
        panel->controls.push_back(
            {controls[i].id, Text(controls[i].label), Text(controls[i].controlClass)});
    }
    panels_.push_back(std::move(panel));
    return panels_.back().get();
}

RecordedPanel *PanelToolkit::panel(host::PanelHandle handle) const {
    for (const auto &panel : panels_) {
        if (reinterpret_cast<host::PanelHandle>(panel.get()) == handle) {
            return panel.get();
        }
    }
    return nullptr;
}

int PanelToolkit::set(const RecordedPanel &panel, host::PanelElementId id, double value) const {
    return panel.set ? panel.set(panel.viewInstance, id, &value) : 0;
}

DisplayUnit DisplayUnitOf(const std::string &controlClass) {
    if (controlClass.rfind("angle", 0) == 0) {
        return {180.0 / M_PI, " degrees"};
    }
    if (controlClass.rfind("percent", 0) == 0) {
        return {100.0, " %"};
    }
    return {1.0, ""};
}

std::vector<ControlRange> PanelToolkit::ranges(const RecordedPanel &panel) const {
    const auto self = panel.hints.find(host::kPanelSelf);
    std::vector<ControlRange> ranges;
    for (const PanelControlInfo &c : panel.controls) {
        ControlRange range;
        range.id = c.id;
        range.label = c.label;
        range.display = DisplayUnitOf(c.controlClass);
        if (self != panel.hints.end()) {
            const auto minimum = self->second.minimum.find(c.id);
            const auto maximum = self->second.maximum.find(c.id);
            if (minimum != self->second.minimum.end()) {
                range.minimum = static_cast<double>(minimum->second);
            }
            if (maximum != self->second.maximum.end()) {
                range.maximum = static_cast<double>(maximum->second);
            }
        }
        ranges.push_back(range);
    }
    return ranges;
}

std::string PanelToolkit::describe(const RecordedPanel &panel) const {
    const auto self = panel.hints.find(host::kPanelSelf);
    const DecodedHints none;
    const DecodedHints &hints = self == panel.hints.end() ? none : self->second;
    const auto title = hints.labels.find(host::kPanelSelf);
    std::string out = (title == hints.labels.end() ? "(untitled panel)" : title->second) + "\n";

    // A control's line; empty for an element that has no control (a group may list one).
    auto control = [&](host::PanelElementId id) -> std::string {
        for (const PanelControlInfo &c : panel.controls) {
            if (c.id != id) {
                continue;
            }
            std::string line = c.label + ":";
            line.resize(std::max<size_t>(line.size() + 1, 20), ' ');
            const DisplayUnit display = DisplayUnitOf(c.controlClass);
            const std::string unit = display.unit;
            void *bound = panel.get ? panel.get(panel.viewInstance, id) : nullptr;
            HostParam *param = host_.param(reinterpret_cast<host::ParamHandle>(bound));
            if (param && !param->destroyed) {
                line += Number(param->envelope.evaluate(host_.time()) * display.scale) + unit;
            } else {
                line += "(no value)";
            }
            std::string limits;
            auto add = [&](const std::map<host::PanelElementId, long> &from, const char *name) {
                auto found = from.find(id);
                if (found != from.end()) {
                    limits += std::string(limits.empty() ? "" : ", ") + name + " " +
                              std::to_string(found->second) + unit;
                }
            };
            add(hints.minimum, "minimum");
            add(hints.maximum, "maximum");
            add(hints.step, "step");
            return line + (limits.empty() ? "" : "  (" + limits + ")") + "  [" + c.controlClass +
                   "]";
        }
        return std::string();
    };

    std::vector<host::PanelElementId> shown;
    for (const PanelGroup &group : hints.groups) {
        out += "  group " + HexText(group.id) + "\n";
        for (host::PanelElementId member : group.members) {
            const std::string line = control(member);
            if (!line.empty()) {
                out += "    " + line + "\n";
            }
            shown.push_back(member);
        }
    }
    for (const PanelControlInfo &c : panel.controls) {
        if (std::find(shown.begin(), shown.end(), c.id) == shown.end()) {
            out += "  " + control(c.id) + "\n";
        }
    }
    for (const std::string &error : panel.errors) {
        out += "  error: " + error + "\n";
    }
    return out;
}

} // namespace minihost
