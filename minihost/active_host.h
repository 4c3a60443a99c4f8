#pragma once

namespace minihost {

class Host;

// The host's service tables are plain function pointers without a context argument, so a
// service the module calls can find the stand-in host it belongs to only through process-wide
// state. This is the one place that state lives: the host most recently made that still
// exists. Hosts are made and destroyed in nested order on one thread; the module's calls may
// come from any thread while its host lives.

// The active host. A service called with none alive is a fault of the test or tool: it says
// so on stderr and aborts.
Host &ActiveHost();

// Called by Host's constructor and destructor only.
void PushActiveHost(Host *host);
void PopActiveHost(Host *host);

} // namespace minihost
