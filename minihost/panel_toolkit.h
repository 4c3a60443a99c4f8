#pragma once

#include "host/panel_service.h"
#include "minihost/host.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace minihost {

struct PanelControlInfo {
    host::PanelElementId id;
    std::string label;
    std::string controlClass;
};

struct PanelDataInfo {
    host::PanelElementId id;
    std::string name;
    std::string dataType;
};

struct PanelGroup {
    host::PanelElementId id;
    std::vector<host::PanelElementId> members;
};

// A hint list read into what it says.
struct DecodedHints {
    std::vector<host::HintWord> words; // the list as given, its end word included
    std::map<host::PanelElementId, std::string> labels;
    std::vector<PanelGroup> groups;
    std::map<host::PanelElementId, long> minimum;
    std::map<host::PanelElementId, long> maximum;
    std::map<host::PanelElementId, long> step;
    std::vector<host::HintWord> callbacks; // the functions given, in order
};

// Throws HostError for an unknown tag or a list with no end word within maxWords.
DecodedHints DecodeHints(const host::HintWord *words, size_t maxWords = 1024);

// How a control shows a value: a value in the plug-in's units times scale, followed by unit.
// Angles are shown in degrees, percentages in percent.
struct DisplayUnit {
    double scale;
    const char *unit;
};
DisplayUnit DisplayUnitOf(const std::string &controlClass);

// The range a panel's hints give a control, in the units the control shows.
struct ControlRange {
    host::PanelElementId id = 0;
    std::string label;
    DisplayUnit display{1.0, ""};
    std::optional<double> minimum;
    std::optional<double> maximum;
};

// What a plug-in told the toolkit about one panel.
struct RecordedPanel {
    int type = 0;
    std::vector<PanelControlInfo> controls;
    std::vector<PanelDataInfo> data;
    bool controlsEndAllNull = false; // the end record of each table has null texts too
    bool dataEndAllNull = false;
    host::PanelGetFunc get = nullptr;
    host::PanelSetFunc set = nullptr;
    std::map<host::PanelElementId, DecodedHints> hints;
    std::vector<std::string> errors; // what the toolkit could not make sense of
    void *viewInstance = nullptr;
    std::map<host::PanelElementId, void *> elementData;
};

// The "LWXPanel" service of the stand-in host. It draws nothing: it records each panel and
// can print it as text, with the current values in the user's units.
class PanelToolkit {
  public:
    explicit PanelToolkit(Host &host);
    PanelToolkit(const PanelToolkit &) = delete;
    PanelToolkit &operator=(const PanelToolkit &) = delete;
    ~PanelToolkit();

    const host::PanelService &service() const { return service_; }
    RecordedPanel *panel(host::PanelHandle handle) const;
    const std::vector<std::unique_ptr<RecordedPanel>> &panels() const { return panels_; }
    host::PanelHandle handle(const RecordedPanel *panel) const {
        return reinterpret_cast<host::PanelHandle>(const_cast<RecordedPanel *>(panel));
    }

    // The panel as a person would see it: title, groups, each control with its value now
    // (degrees for angles, percent for percentages) and its limits.
    std::string describe(const RecordedPanel &panel) const;

    // Every control's range, as the panel's hints state it.
    std::vector<ControlRange> ranges(const RecordedPanel &panel) const;

    // Hands a value to the plug-in the way an edit in the panel does.
    int set(const RecordedPanel &panel, host::PanelElementId id, double value) const;

    Host &host() { return host_; }
    RecordedPanel *create(int type, const host::PanelControl *controls);

  private:
    Host &host_;
    host::PanelService service_{};
    std::vector<std::unique_ptr<RecordedPanel>> panels_;
};

} // namespace minihost
