#include "ui/adverts/ConnectionState.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

namespace ui::adverts {

bool IsConnected() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return false;
    bool connected = false;
    for (const ifaddrs* i = list; i && !connected; i = i->ifa_next) {
        if (!i->ifa_addr) continue;
        const int family = i->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        const unsigned flags = i->ifa_flags;
        connected = (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
    }
    ::freeifaddrs(list);
    return connected;
}

} // namespace ui::adverts
