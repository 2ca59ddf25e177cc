// Scope-ID completion makes exactly the system calls it is built on, in their order: each
// library loaded once per call and released within it, WSAStartup once, GetAdaptersAddresses
// twice (size, then fill) and never again, one allocation of the reported size. The calls go
// to a fabricated system that writes each one down.

#include <winsock2.h>
// windows.h after winsock2.h, or it would bring the old winsock.h in.
#include <windows.h>
// The adapter types, which build on both.
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "util/ipformat/ip_format.h"
#include "util/platform/win32/network_calls.h"

namespace {

const HMODULE kSockets = reinterpret_cast<HMODULE>(0x1000);
const HMODULE kAdapters = reinterpret_cast<HMODULE>(0x2000);

struct Fake {
    std::string calls;  // every call, each followed by "; "
    bool loadSockets = true, findStartup = true, loadAdapters = true, findQuery = true;
    int startResult = 0;
    ULONG sizeAnswer = ERROR_BUFFER_OVERFLOW;  // of the call without a buffer
    bool grows = false;                        // the list grew before the second call
    bool allocationFails = false;
    ULONG zone = 7;  // the Ethernet adapter's link zone
} g_fake;

void Note(const std::string& call) {
    g_fake.calls += call + "; ";
}

std::string Name(HMODULE module) {
    return module == kSockets ? "ws2_32" : module == kAdapters ? "Iphlpapi" : "?";
}

constexpr ULONG kListBytes = 2 * sizeof(IP_ADAPTER_ADDRESSES);

int WSAAPI FakeStartup(WORD version, LPWSADATA) {
    Note("WSAStartup " + std::to_string(version));
    return g_fake.startResult;
}

ULONG WINAPI FakeQuery(ULONG family, ULONG flags, PVOID reserved, PIP_ADAPTER_ADDRESSES list,
                       PULONG size) {
    Note("GetAdaptersAddresses " + std::to_string(family) + " " + std::to_string(flags) +
         (reserved ? " reserved" : "") + (list ? " buffer " : " no buffer ") +
         std::to_string(*size));
    if (!list) {
        *size = kListBytes;
        return g_fake.sizeAnswer;
    }
    if (g_fake.grows || *size < kListBytes) {
        *size = kListBytes + sizeof(IP_ADAPTER_ADDRESSES);
        return ERROR_BUFFER_OVERFLOW;
    }
    // A wireless adapter, then an Ethernet one.
    ZeroMemory(list, kListBytes);
    list[0].Next = &list[1];
    list[0].IfType = IF_TYPE_IEEE80211;
    list[1].IfType = IF_TYPE_ETHERNET_CSMACD;
    list[1].ZoneIndices[ScopeLevelLink] = g_fake.zone;
    return NO_ERROR;
}

HMODULE WINAPI FakeLoad(LPCWSTR name) {
    const std::wstring wide(name);
    Note("load " + std::string(wide.begin(), wide.end()));
    if (wide == L"ws2_32.dll") return g_fake.loadSockets ? kSockets : nullptr;
    if (wide == L"Iphlpapi.dll") return g_fake.loadAdapters ? kAdapters : nullptr;
    return nullptr;
}

FARPROC WINAPI FakeFind(HMODULE module, LPCSTR name) {
    Note("find " + Name(module) + " " + name);
    const std::string entry(name);
    if (module == kSockets && entry == "WSAStartup" && g_fake.findStartup)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(FakeStartup));
    if (module == kAdapters && entry == "GetAdaptersAddresses" && g_fake.findQuery)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(FakeQuery));
    return nullptr;
}

BOOL WINAPI FakeFree(HMODULE module) {
    Note("free " + Name(module));
    return TRUE;
}

void* FakeAllocate(size_t bytes) {
    Note("malloc " + std::to_string(bytes));
    return g_fake.allocationFails ? nullptr : std::malloc(bytes);
}

void FakeRelease(void* block) {
    Note("release");
    std::free(block);
}

TEST(Win32ScopeIdCallsTest, EachCallLoadsBothLibrariesOnceAndAsksForTheListTwice) {
    util_platform::win32::NetworkCalls calls;
    calls.loadLibrary = FakeLoad;
    calls.getProcAddress = FakeFind;
    calls.freeLibrary = FakeFree;
    calls.allocate = FakeAllocate;
    calls.release = FakeRelease;
    util_platform::win32::SetNetworkCallsForTesting(&calls);

    const std::string sockets = "load ws2_32.dll; find ws2_32 WSAStartup; ";
    const std::string started = sockets + "WSAStartup 514; free ws2_32; ";
    const std::string adapters =
        started + "load Iphlpapi.dll; find Iphlpapi GetAdaptersAddresses; ";
    const std::string sized = adapters + "GetAdaptersAddresses 0 16 no buffer 0; ";
    const std::string bytes = std::to_string(kListBytes);
    const std::string allocated = sized + "malloc " + bytes + "; ";
    const std::string filled =
        allocated + "GetAdaptersAddresses 0 16 buffer " + bytes + "; free Iphlpapi; release; ";
    const struct {
        const char* what;
        void (*arrange)(Fake&);
        EIPV6ScopeIdStatus status;
        std::string calls;
    } rows[] = {
        {"completed", [](Fake&) {}, IPV6_SCOPEID_OK, filled},
        {"socket library missing", [](Fake& f) { f.loadSockets = false; }, IPV6_SCOPEID_LOAD_ERROR,
         "load ws2_32.dll; "},
        {"WSAStartup missing", [](Fake& f) { f.findStartup = false; }, IPV6_SCOPEID_LOAD_ERROR,
         sockets + "free ws2_32; "},
        {"socket layer fails to start", [](Fake& f) { f.startResult = WSASYSNOTREADY; },
         IPV6_SCOPEID_SOCKET_ERROR, started},
        {"adapter library missing", [](Fake& f) { f.loadAdapters = false; },
         IPV6_SCOPEID_LOAD_ERROR, started + "load Iphlpapi.dll; "},
        {"GetAdaptersAddresses missing", [](Fake& f) { f.findQuery = false; },
         IPV6_SCOPEID_LOAD_ERROR, adapters + "free Iphlpapi; "},
        {"sizing call answers other than 111", [](Fake& f) { f.sizeAnswer = NO_ERROR; },
         IPV6_SCOPEID_ADAPTER_ERROR, sized + "free Iphlpapi; "},
        {"no memory of the reported size", [](Fake& f) { f.allocationFails = true; },
         IPV6_SCOPEID_NO_MEMORY, allocated + "free Iphlpapi; "},
        {"list grew between the calls: no retry", [](Fake& f) { f.grows = true; },
         IPV6_SCOPEID_ADAPTER_ERROR, filled},
        {"negative zone", [](Fake& f) { f.zone = 0x80000000u; }, IPV6_SCOPEID_ADAPTER_ERROR,
         filled},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        g_fake = Fake();
        row.arrange(g_fake);
        CString result;
        EXPECT_EQ(CIPFormat::MergeIPV6AddressWithScopeID(u"fe80::1", result), row.status);
        EXPECT_EQ(result.ToUtf8(), row.status == IPV6_SCOPEID_OK ? "fe80::1%7" : "fe80::1");
        EXPECT_EQ(g_fake.calls, row.calls);
    }
    util_platform::win32::SetNetworkCallsForTesting(nullptr);
}

}  // namespace
