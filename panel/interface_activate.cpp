#include "host/module_descriptor.h"
#include "host/panel_service.h"
#include "module/activations.h"
#include "module/module_state.h"
#include "panel/panel_callbacks.h"
#include "panel/panel_tables.h"

namespace {

// Describes the panel for one camera to the toolkit; null if the toolkit refuses the panel.
host::PanelHandle BuildPanel(void *instance) {
    const host::PanelService *panels = ModuleState.PanelService;
    host::PanelHandle panel = panels->create(host::kPanelTypeForm, kPanelControls);
    if (!panel) {
        return nullptr;
    }
    panels->describe(panel, kPanelData, PanelGet, PanelSet);
    panels->hint(panel, host::kPanelSelf, kPanelHints);
    panels->viewInstance(panel, instance);
    panels->setData(panel, host::kPanelSelf, instance);
    return panel;
}

} // namespace

// Called by the host, on its main thread, when the user opens a camera's settings. The panel
// it builds belongs to the host. Without a panel (the toolkit refused it, or the host named no
// camera) the record stays as the host set it, and the host shows no settings.
int HOST_CALL InterfaceActivate(int version, host::GlobalFunc global, void *local,
                                void * /*serverData*/) {
    if (version != host::kCameraInterfaceVersion) {
        return host::kActivateBadVersion;
    }
    ModuleState.GlobalFunc = global;
    ModuleState.InstanceUpdate = reinterpret_cast<host::InstanceUpdateFunc>(
        global(host::kInstanceUpdateServiceName, host::kUseModeDefault));
    ModuleState.PanelService = static_cast<const host::PanelService *>(
        global(host::kPanelServiceName, host::kUseModeDefault));
    if (!ModuleState.PanelService) {
        return host::kActivateBadGlobal;
    }
    host::InterfaceRecord *record = static_cast<host::InterfaceRecord *>(local);
    if (!record->instance) {
        return host::kActivateOk;
    }
    if (host::PanelHandle panel = BuildPanel(record->instance)) {
        record->panel = panel;
        record->optionsCallback = nullptr;
        record->commandCallback = nullptr;
    }
    return host::kActivateOk;
}
