#include "util/platform/network.h"

#include <winsock2.h>
// windows.h after winsock2.h, or it would bring the old winsock.h in.
#include <windows.h>
// The adapter types, which build on both.
#include <iphlpapi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace util_platform {
namespace {

// Both system libraries are loaded by name on every call and released within it: nothing of
// the socket layer or the adapter query stays loaded between calls.

std::atomic<const NetworkForTesting*> g_overrides{nullptr};

constexpr WORD kSocketVersion = 0x0202;  // 2.2
constexpr ULONG kIncludePrefix = 0x10;   // GAA_FLAG_INCLUDE_PREFIX
constexpr DWORD kEthernetType = 6;       // IF_TYPE_ETHERNET_CSMACD

using WsaStartupFunction = int(WSAAPI*)(WORD, LPWSADATA);
using GetAdaptersAddressesFunction = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES,
                                                    PULONG);

// A library loaded for one call, released when it goes out of scope.
class LoadedLibrary {
  public:
    explicit LoadedLibrary(const wchar_t* name) : module_(::LoadLibraryW(name)) {}
    ~LoadedLibrary() {
        if (module_) ::FreeLibrary(module_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    template <class Function>
    Function Find(const char* entry) const {
        if (!module_) return nullptr;
        return reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(::GetProcAddress(module_, entry)));
    }

  private:
    HMODULE module_;
};

// The adapter list: GetAdaptersAddresses asked without a buffer (which must answer
// ERROR_BUFFER_OVERFLOW and the size), then once with a buffer of exactly that size. No retry.
bool ReadAdapters(std::vector<AdapterRecord>* adapters) {
    LoadedLibrary library(L"Iphlpapi.dll");
    auto query = library.Find<GetAdaptersAddressesFunction>("GetAdaptersAddresses");
    if (!query) return false;
    ULONG size = 0;
    if (query(AF_UNSPEC, kIncludePrefix, nullptr, nullptr, &size) != ERROR_BUFFER_OVERFLOW)
        return false;
    auto* list = static_cast<IP_ADAPTER_ADDRESSES*>(std::malloc(size));
    if (!list) return false;
    const ULONG result = query(AF_UNSPEC, kIncludePrefix, nullptr, list, &size);
    if (result == NO_ERROR) {
        for (const IP_ADAPTER_ADDRESSES* adapter = list; adapter; adapter = adapter->Next) {
            AdapterRecord record;
            record.interfaceIndex = adapter->IfIndex;
            record.isEthernet = adapter->IfType == kEthernetType;
            record.linkZone = adapter->ZoneIndices[ScopeLevelLink];
            record.siteZone = adapter->ZoneIndices[ScopeLevelSite];
            record.globalZone = adapter->ZoneIndices[ScopeLevelGlobal];
            adapters->push_back(record);
        }
    }
    std::free(list);
    return result == NO_ERROR;
}

// Windows keeps the system's order of adapters, which decides which Ethernet adapter is first.
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

bool SystemSocketLayerAvailable() {
    LoadedLibrary library(L"ws2_32.dll");
    return library.Find<WsaStartupFunction>("WSAStartup") != nullptr;
}

// The socket layer is started and never shut down again, as each completion call does it.
int SystemStartSocketLayer() {
    LoadedLibrary library(L"ws2_32.dll");
    auto start = library.Find<WsaStartupFunction>("WSAStartup");
    if (!start) return WSASYSNOTREADY;
    WSADATA data;
    return start(kSocketVersion, &data);
}

bool SystemAdapterQueryAvailable() {
    LoadedLibrary library(L"Iphlpapi.dll");
    return library.Find<GetAdaptersAddressesFunction>("GetAdaptersAddresses") != nullptr;
}

}  // namespace

bool SocketLayerAvailable() {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->socketLayerAvailable ? o->socketLayerAvailable() : SystemSocketLayerAvailable();
}

int StartSocketLayer() {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->startSocketLayer ? o->startSocketLayer() : SystemStartSocketLayer();
}

bool AdapterQueryAvailable() {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->adapterQueryAvailable ? o->adapterQueryAvailable()
                                         : SystemAdapterQueryAvailable();
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
