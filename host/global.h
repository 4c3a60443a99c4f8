#pragma once

#include "host/calling.h"

namespace host {

// The host's service lookup: returns the named service, or null when the host lacks it.
typedef void *(HOST_CALL *GlobalFunc)(const char *serviceName, int useMode);

// Plug-ins always ask for a service in this mode.
constexpr int kUseModeDefault = 0;

constexpr char kParamServiceName[] = "LWVParmFuncs 2";
constexpr char kItemInfoServiceName[] = "LW Item Info 4";
constexpr char kEnvelopeServiceName[] = "Animation Envelopes";
constexpr char kTimeInfoServiceName[] = "LW Time Info";
constexpr char kPanelServiceName[] = "LWXPanel";
constexpr char kInstanceUpdateServiceName[] = "Instance Update";

} // namespace host
