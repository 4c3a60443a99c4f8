#include "module/module_state.h"

ModuleStateData ModuleState;
