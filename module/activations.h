#pragma once

#include "host/calling.h"
#include "host/global.h"

int HOST_CALL HandlerActivate(int version, host::GlobalFunc global, void *local, void *serverData);
int HOST_CALL InterfaceActivate(int version, host::GlobalFunc global, void *local,
                                void *serverData);
