#ifndef UTIL_PLATFORM_NETWORK_H
#define UTIL_PLATFORM_NETWORK_H

// The network adapters of this machine, as the scope-ID completion of IPv6 addresses needs
// them: every interface in the system's order with its type and its zone index per scope level.
//
// The query follows a two-call protocol: ask without a buffer to learn how many records are
// needed, allocate exactly that many, ask again. Each facility can be missing or fail on its
// own, and each failure leads the caller to a different answer, so each is a function here.
//
// POSIX choices:
//   - there is no socket layer to start and no library to load: StartSocketLayer answers 0 and
//     both ...Available functions answer true (their failure paths exist for tests);
//   - adapters are the interfaces in ascending interface index; an adapter is Ethernet when its
//     hardware type is ARPHRD_ETHER and it is not wireless (it does not answer the wireless
//     name query), so Wi-Fi is passed over as a wired-only choice requires. Virtual Ethernet
//     devices (veth, bridges, taps) are Ethernet by this rule;
//   - the link and site zone indices are the interface index, the global zone index is 0.

#include <cstddef>
#include <cstdint>

namespace util_platform {

struct AdapterRecord {
    uint32_t interfaceIndex = 0;
    bool isEthernet = false;  // wired Ethernet; wireless and all other types are false
    uint32_t linkZone = 0;    // zone index for link scope
    uint32_t siteZone = 0;    // zone index for site scope
    uint32_t globalZone = 0;  // zone index for global scope
};

// True when the socket layer's library and its start-up entry can be loaded for this call.
bool SocketLayerAvailable();

// Starts the socket layer for this call: 0 on success, the system's error code otherwise.
int StartSocketLayer();

// True when the adapter query's library and entry point can be loaded for this call.
bool AdapterQueryAvailable();

enum class AdapterQueryResult {
    kOk,              // *count records written
    kBufferOverflow,  // no buffer, or too small: *count is the number of records needed
    kFailed,          // the system gave no list (or an empty one)
};

// Lists the adapters into records[0 .. *count). Pass records == nullptr to learn the size.
AdapterQueryResult QueryAdapters(AdapterRecord* records, size_t* count);

// A buffer for count records, or null when there is no memory. Release with FreeAdapterRecords
// (an override must answer null or memory from new[]).
AdapterRecord* AllocateAdapterRecords(size_t count);
void FreeAdapterRecords(AdapterRecord* records);

// Replaces the functions above for a test; a null member keeps the system's function, and a
// null table restores all of them. The table must outlive its use.
struct NetworkForTesting {
    bool (*socketLayerAvailable)() = nullptr;
    int (*startSocketLayer)() = nullptr;
    bool (*adapterQueryAvailable)() = nullptr;
    AdapterQueryResult (*queryAdapters)(AdapterRecord* records, size_t* count) = nullptr;
    AdapterRecord* (*allocateAdapterRecords)(size_t count) = nullptr;
};
void SetNetworkForTesting(const NetworkForTesting* table);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_NETWORK_H
