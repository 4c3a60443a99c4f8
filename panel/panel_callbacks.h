#pragma once

#include "host/calling.h"
#include "host/panel_service.h"

void *HOST_CALL PanelGet(void *instance, host::PanelElementId id);
int HOST_CALL PanelSet(void *instance, host::PanelElementId id, void *value);
void HOST_CALL PanelNoOp(void *data);
