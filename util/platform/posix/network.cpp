#include "util/platform/network.h"

#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

namespace util_platform {
namespace {

// The wireless-extensions "get name" request; every wireless interface answers it, nothing else
// does. Defined here because <linux/wireless.h> clashes with <net/if.h>.
constexpr unsigned long kWirelessGetName = 0x8B01;

std::atomic<const NetworkForTesting*> g_overrides{nullptr};

bool IsWireless(int socket, const char* name) {
    ifreq request{};  // larger than the wireless request, whose head is the same name field
    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
    return ioctl(socket, kWirelessGetName, &request) == 0;
}

bool ReadAdapters(std::vector<AdapterRecord>* adapters) {
    struct if_nameindex* names = if_nameindex();
    if (!names) return false;
    int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        if_freenameindex(names);
        return false;
    }
    for (struct if_nameindex* entry = names; entry->if_index != 0 && entry->if_name; ++entry) {
        AdapterRecord record;
        record.interfaceIndex = entry->if_index;
        ifreq request{};
        std::strncpy(request.ifr_name, entry->if_name, IFNAMSIZ - 1);
        if (ioctl(socket, SIOCGIFHWADDR, &request) == 0)
            record.isEthernet =
                request.ifr_hwaddr.sa_family == ARPHRD_ETHER && !IsWireless(socket, entry->if_name);
        record.linkZone = entry->if_index;
        record.siteZone = entry->if_index;
        record.globalZone = 0;
        adapters->push_back(record);
    }
    close(socket);
    if_freenameindex(names);
    std::sort(adapters->begin(), adapters->end(),
              [](const AdapterRecord& a, const AdapterRecord& b) {
                  return a.interfaceIndex < b.interfaceIndex;
              });
    return true;
}

}  // namespace

SocketStart StartSocketLayer() {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->startSocketLayer ? o->startSocketLayer() : SocketStart::kStarted;
}

AdapterListResult ReadAdapterList(std::vector<AdapterRecord>* adapters) {
    const NetworkForTesting* o = g_overrides.load();
    if (o && o->readAdapterList) return o->readAdapterList(adapters);
    adapters->clear();
    try {
        if (!ReadAdapters(adapters) || adapters->empty()) return AdapterListResult::kFailed;
    } catch (const std::bad_alloc&) {
        adapters->clear();
        return AdapterListResult::kNoMemory;
    }
    return AdapterListResult::kOk;
}

void SetNetworkForTesting(const NetworkForTesting* table) {
    g_overrides.store(table);
}

}  // namespace util_platform
