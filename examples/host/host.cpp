// util-host: a small program that uses the Util library the way the firmware tool does. It reads
// the default language from a settings file, then checks each address text it is given and
// completes a link-local one with the zone index of this machine's first Ethernet adapter.
//
//   util-host SETTINGS_FILE ADDRESS...
//
// It is built against an installed Util, once through the CMake package and once through
// pkg-config (see README.md); both builds must print the same.

#include <iostream>

#include "util/files/inifile.h"
#include "util/ipformat/ip_format.h"

namespace {

const char* Kind(const CString& text) {
    if (CIPFormat::IsValidIPV4Address(text)) return "valid IPv4";
    if (CIPFormat::IsIPV4Address(text)) return "IPv4";
    if (CIPFormat::IsValidIPV6Address(text)) return "IPv6";
    return "not an address";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: util-host SETTINGS_FILE ADDRESS...\n";
        return 2;
    }
    CString language;
    common::sdk::inifile::GetString(CString::FromUtf8(argv[1]), u"Common", u"DefaultLanguage",
                                    &language);
    std::cout << "default language: " << language.ToUtf8() << "\n";

    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        const CString address = CString::FromUtf8(argv[i]);
        CString completed;
        const EIPV6ScopeIdStatus status =
            CIPFormat::MergeIPV6AddressWithScopeID(address, completed);
        std::cout << argv[i] << ": " << Kind(address) << "; with scope ID: " << completed.ToUtf8()
                  << " (status " << static_cast<int>(status) << ")\n";
        if (status < 0) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
