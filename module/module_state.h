#pragma once

#include "host/global.h"
#include "host/item.h"
#include "host/panel_service.h"
#include "host/param_service.h"

// Module-wide handles of the host's services. Written only by the activations, read by every
// other operation; the services belong to the host and are never released.
struct ModuleStateData {
    host::GlobalFunc GlobalFunc;
    const host::ParamService *ParamService;
    const host::ItemInfoService *ItemInfoService;
    const void *EnvelopeService;
    const host::TimeInfo *TimeInfo;
    double pi;
    const host::PanelService *PanelService;
    host::InstanceUpdateFunc InstanceUpdate;
};

extern ModuleStateData ModuleState;
