// Util.dll as a host loads it at run time: LoadLibraryW, the log opened through the exported
// functions (found by their GCC-mangled names), FreeLibrary. After the last FreeLibrary the
// module must be gone from the process and the log closed; nothing in the library may keep a
// reference on its own module (a thread-local object with a destructor would, through the
// runtime).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "util/testing/scratch_dir.h"

namespace {

using InitFn = void (*)(const char16_t*, bool);
using VoidFn = void (*)();
using BoolFn = bool (*)();
using WriteFn = void (*)(const char16_t*, bool);

struct Util {
    HMODULE module = nullptr;
    InitFn init = nullptr;
    VoidFn term = nullptr;
    BoolFn isInitialized = nullptr;
    WriteFn write = nullptr;
};

Util Load() {
    Util util;
    util.module = ::LoadLibraryW(UTIL_TEST_DLL);
    if (!util.module) return util;
    // GetProcAddress answers a generic function pointer; void (*)() is the type GCC lets one
    // cast to any other function type.
    auto find = [&](const char* name) {
        return reinterpret_cast<VoidFn>(::GetProcAddress(util.module, name));
    };
    util.init = reinterpret_cast<InitFn>(find("_ZN7Logging4InitEPKDsb"));
    util.term = find("_ZN7Logging4TermEv");
    util.isInitialized = reinterpret_cast<BoolFn>(find("_ZN7Logging13IsInitializedEv"));
    util.write = reinterpret_cast<WriteFn>(find("_ZN7Logging5WriteEPKDsb"));
    return util;
}

// Whether another writer may open the file (the open log lets others read, not write).
bool OthersCanWrite(const std::wstring& path) {
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(handle);
    return true;
}

TEST(DllUnload, FreeLibraryUnloadsTheModuleAndClosesTheLog) {
    struct Case {
        const char* name;
        bool onThread;  // Init and a write on a thread that has ended before FreeLibrary
        bool term;      // Term before FreeLibrary
    };
    const Case cases[] = {
        {"main thread, no Term", false, false},
        {"main thread, Term", false, true},
        {"ended thread, no Term", true, false},
        {"ended thread, Term", true, true},
    };
    ASSERT_EQ(::GetModuleHandleW(L"Util.dll"), nullptr) << "the test program must not import it";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        util_testing::ScratchDir dir;
        const std::u16string folder(dir.Wide().GetString());
        const std::wstring log = (dir.path() / "Tessmar.log").wstring();

        Util util = Load();
        ASSERT_NE(util.module, nullptr) << ::GetLastError();
        ASSERT_TRUE(util.init && util.term && util.isInitialized && util.write);
        auto open = [&] {
            util.init(folder.c_str(), false);
            util.write(u"line", true);
        };
        if (c.onThread) {
            std::thread(open).join();
        } else {
            open();
        }
        ASSERT_TRUE(util.isInitialized());
        EXPECT_FALSE(OthersCanWrite(log)) << "the log is open";
        if (c.term) util.term();

        EXPECT_TRUE(::FreeLibrary(util.module));
        EXPECT_EQ(::GetModuleHandleW(L"Util.dll"), nullptr) << "the module is still mapped";
        EXPECT_TRUE(OthersCanWrite(log)) << "the log is still open";

        Util again = Load();
        ASSERT_NE(again.module, nullptr);
        ASSERT_NE(again.isInitialized, nullptr);
        EXPECT_FALSE(again.isInitialized()) << "a new load starts with the log closed";
        EXPECT_TRUE(::FreeLibrary(again.module));
        // Unmapped, so that the next case (and the scratch folder's removal) starts clean.
        for (int i = 0; i < 16; ++i) {
            HMODULE left = ::GetModuleHandleW(L"Util.dll");
            if (!left || !::FreeLibrary(left)) break;
        }
    }
}

}  // namespace
