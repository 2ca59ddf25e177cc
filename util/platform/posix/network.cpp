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

AdapterQueryResult SystemQueryAdapters(AdapterRecord* records, size_t* count) {
    std::vector<AdapterRecord> adapters;
    if (!ReadAdapters(&adapters) || adapters.empty()) return AdapterQueryResult::kFailed;
    if (!records || *count < adapters.size()) {
        *count = adapters.size();
        return AdapterQueryResult::kBufferOverflow;
    }
    std::copy(adapters.begin(), adapters.end(), records);
    *count = adapters.size();
    return AdapterQueryResult::kOk;
}

}  // namespace

bool SocketLayerAvailable() {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->socketLayerAvailable ? o->socketLayerAvailable() : true;
}

int StartSocketLayer() {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->startSocketLayer ? o->startSocketLayer() : 0;
}

bool AdapterQueryAvailable() {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->adapterQueryAvailable ? o->adapterQueryAvailable() : true;
}

AdapterQueryResult QueryAdapters(AdapterRecord* records, size_t* count) {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->queryAdapters ? o->queryAdapters(records, count)
                                 : SystemQueryAdapters(records, count);
}

AdapterRecord* AllocateAdapterRecords(size_t count) {
    const NetworkForTesting* o = g_overrides.load();
    if (o && o->allocateAdapterRecords) return o->allocateAdapterRecords(count);
    return new (std::nothrow) AdapterRecord[count == 0 ? 1 : count];
}

void FreeAdapterRecords(AdapterRecord* records) {
    delete[] records;
}

void SetNetworkForTesting(const NetworkForTesting* table) {
    g_overrides.store(table);
}

}  // namespace util_platform
