#ifndef UTIL_PLATFORM_NETWORK_H
#define UTIL_PLATFORM_NETWORK_H

// The network adapters of this machine, as the scope-ID completion of IPv6 addresses needs
// them: every interface in the system's order with its type and its zone index per scope level.
//
// Each facility can be missing or fail on its own, and each failure leads the caller to a
// different answer, so each result names its failure.
//
// POSIX choices:
//   - there is no socket layer to start and no library to load: StartSocketLayer answers
//     kStarted, and ReadAdapterList never answers kLoadFailed (those paths exist for tests);
//   - adapters are the interfaces in ascending interface index; an adapter is Ethernet when its
//     hardware type is ARPHRD_ETHER and it is not wireless (it does not answer the wireless
//     name query), so Wi-Fi is passed over as a wired-only choice requires. Virtual Ethernet
//     devices (veth, bridges, taps) are Ethernet by this rule;
//   - the link and site zone indices are the interface index, the global zone index is 0.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace util_platform {

struct AdapterRecord {
    uint32_t interfaceIndex = 0;
    bool isEthernet = false;  // wired Ethernet; wireless and all other types are false
    uint32_t linkZone = 0;    // zone index for link scope
    uint32_t siteZone = 0;    // zone index for site scope
    uint32_t globalZone = 0;  // zone index for global scope
};

enum class SocketStart {
    kStarted,     // the socket layer is started (it is never shut down again)
    kLoadFailed,  // its library or start-up entry point could not be loaded
    kFailed,      // the start-up call answered an error
};

// Starts the socket layer for one call. Windows: loads "ws2_32.dll" once, finds "WSAStartup",
// calls it for version 2.2 and releases the library again, whatever the call answered.
SocketStart StartSocketLayer();

enum class AdapterListResult {
    kOk,          // *adapters holds the list in the system's order
    kLoadFailed,  // the query's library or entry point could not be loaded
    kFailed,      // the system gave no list (or an empty one)
    kNoMemory,    // no memory for the list of the size the system reported
};

// Reads the adapter list for one call into *adapters (replacing what it held).
// Windows: loads "Iphlpapi.dll" once and finds "GetAdaptersAddresses"; asks it without a
// buffer (family AF_UNSPEC, flags GAA_FLAG_INCLUDE_PREFIX), which must answer
// ERROR_BUFFER_OVERFLOW with the size needed; allocates exactly that many bytes (malloc) and
// asks once more with them, then releases the library. No further retry: a list that grew
// between the two calls (the second answers ERROR_BUFFER_OVERFLOW) is kFailed, a failed
// allocation kNoMemory.
AdapterListResult ReadAdapterList(std::vector<AdapterRecord>* adapters);

// Replaces the functions above for a test; a null member keeps the system's function, and a
// null table restores both. The table must outlive its use.
struct NetworkForTesting {
    SocketStart (*startSocketLayer)() = nullptr;
    AdapterListResult (*readAdapterList)(std::vector<AdapterRecord>* adapters) = nullptr;
};
void SetNetworkForTesting(const NetworkForTesting* table);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_NETWORK_H
