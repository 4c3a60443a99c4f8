#include "minihost/active_host.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace minihost {

namespace {

std::vector<Host *> &Stack() {
    static std::vector<Host *> hosts;
    return hosts;
}

} // namespace

Host &ActiveHost() {
    if (Stack().empty()) {
        std::fprintf(stderr, "stand-in host: a service was called with no host alive\n");
        std::abort();
    }
    return *Stack().back();
}

void PushActiveHost(Host *host) {
    Stack().push_back(host);
}

void PopActiveHost(Host *host) {
    // A host destroyed out of order leaves the others active in their order.
    std::vector<Host *> &hosts = Stack();
    for (auto it = hosts.end(); it != hosts.begin();) {
        --it;
        if (*it == host) {
            hosts.erase(it);
            return;
        }
    }
}

} // namespace minihost
