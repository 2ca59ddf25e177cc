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

#include "util/platform/win32/network_calls.h"

namespace util_platform {
namespace {

// Both system libraries are loaded by name on every call and released within it: nothing of
// the socket layer or the adapter query stays loaded between calls.

std::atomic<const NetworkForTesting*> g_overrides{nullptr};

void* SystemAllocate(size_t bytes) {
    return std::malloc(bytes);
}
void SystemRelease(void* block) {
    std::free(block);
}

const win32::NetworkCalls& SystemCalls() {
    static const win32::NetworkCalls calls = [] {
        win32::NetworkCalls system;
        system.loadLibrary = ::LoadLibraryW;
        system.getProcAddress = ::GetProcAddress;
        system.freeLibrary = ::FreeLibrary;
        system.allocate = SystemAllocate;
        system.release = SystemRelease;
        return system;
    }();
    return calls;
}

std::atomic<const win32::NetworkCalls*> g_calls{nullptr};

const win32::NetworkCalls& Calls() {
    const win32::NetworkCalls* calls = g_calls.load();
    return calls ? *calls : SystemCalls();
}

constexpr WORD kSocketVersion = 0x0202;  // 2.2
constexpr ULONG kIncludePrefix = 0x10;   // GAA_FLAG_INCLUDE_PREFIX
constexpr DWORD kEthernetType = 6;       // IF_TYPE_ETHERNET_CSMACD

using WsaStartupFunction = int(WSAAPI*)(WORD, LPWSADATA);
using GetAdaptersAddressesFunction = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES,
                                                    PULONG);

// A library loaded once for one call, released by Release() or when it goes out of scope.
class LoadedLibrary {
  public:
    explicit LoadedLibrary(const wchar_t* name) : module_(Calls().loadLibrary(name)) {}
    ~LoadedLibrary() { Release(); }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    template <class Function>
    Function Find(const char* entry) const {
        if (!module_) return nullptr;
        return reinterpret_cast<Function>(
            reinterpret_cast<void (*)()>(Calls().getProcAddress(module_, entry)));
    }
    void Release() {
        if (module_) Calls().freeLibrary(module_);
        module_ = nullptr;
    }

  private:
    HMODULE module_;
};

// The socket layer is started and never shut down again, as each completion call does it.
SocketStart SystemStartSocketLayer() {
    LoadedLibrary library(L"ws2_32.dll");
    auto start = library.Find<WsaStartupFunction>("WSAStartup");
    if (!start) return SocketStart::kLoadFailed;
    WSADATA data;
    const int result = start(kSocketVersion, &data);
    library.Release();
    return result == 0 ? SocketStart::kStarted : SocketStart::kFailed;
}

// The list, in the system's order (which decides which Ethernet adapter is first).
AdapterListResult SystemReadAdapterList(std::vector<AdapterRecord>* adapters) {
    LoadedLibrary library(L"Iphlpapi.dll");
    auto query = library.Find<GetAdaptersAddressesFunction>("GetAdaptersAddresses");
    if (!query) return AdapterListResult::kLoadFailed;
    ULONG size = 0;
    if (query(AF_UNSPEC, kIncludePrefix, nullptr, nullptr, &size) != ERROR_BUFFER_OVERFLOW)
        return AdapterListResult::kFailed;
    auto* list = static_cast<IP_ADAPTER_ADDRESSES*>(Calls().allocate(size));
    if (!list) return AdapterListResult::kNoMemory;
    const ULONG result = query(AF_UNSPEC, kIncludePrefix, nullptr, list, &size);
    library.Release();
    AdapterListResult answer =
        result == NO_ERROR ? AdapterListResult::kOk : AdapterListResult::kFailed;
    if (answer == AdapterListResult::kOk) {
        try {
            for (const IP_ADAPTER_ADDRESSES* adapter = list; adapter; adapter = adapter->Next) {
                AdapterRecord record;
                record.interfaceIndex = adapter->IfIndex;
                record.isEthernet = adapter->IfType == kEthernetType;
                record.linkZone = adapter->ZoneIndices[ScopeLevelLink];
                record.siteZone = adapter->ZoneIndices[ScopeLevelSite];
                record.globalZone = adapter->ZoneIndices[ScopeLevelGlobal];
                adapters->push_back(record);
            }
            if (adapters->empty()) answer = AdapterListResult::kFailed;
        } catch (const std::bad_alloc&) {
            adapters->clear();
            answer = AdapterListResult::kNoMemory;
        }
    }
    Calls().release(list);
    return answer;
}

}  // namespace

SocketStart StartSocketLayer() {
    const NetworkForTesting* o = g_overrides.load();
    return o && o->startSocketLayer ? o->startSocketLayer() : SystemStartSocketLayer();
}

AdapterListResult ReadAdapterList(std::vector<AdapterRecord>* adapters) {
    const NetworkForTesting* o = g_overrides.load();
    if (o && o->readAdapterList) return o->readAdapterList(adapters);
    adapters->clear();
    return SystemReadAdapterList(adapters);
}

void SetNetworkForTesting(const NetworkForTesting* table) {
    g_overrides.store(table);
}

namespace win32 {

void SetNetworkCallsForTesting(const NetworkCalls* calls) {
    g_calls.store(calls);
}

}  // namespace win32

}  // namespace util_platform
