// tessmar-util ip: IP address text as the library reads it: classification, comparison,
// decomposition and joining of a prefix.

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iostream>

#include "cli/command.h"
#include "cli/json_output.h"
#include "util/ipformat/ip_format.h"
#include "util/ipformat/ip_format_peer.h"

namespace {

const char* Kind(const CString& text) {
    if (CIPFormat::IsValidIPV4Address(text)) return "valid IPv4";
    if (CIPFormat::IsIPV4Address(text)) return "IPv4";
    if (CIPFormat::IsValidIPV6Address(text)) return "IPv6";
    return "other";
}

int RunCheck(cli::ArgReader& reader, bool json) {
    std::vector<std::string> texts = reader.Rest();
    if (texts.empty()) throw cli::UsageError("missing TEXT");
    bool allAddresses = true;
    cli::Json records = cli::Json::array();
    for (const std::string& text : texts) {
        const char* kind = Kind(cli::Wide(text));
        allAddresses = allAddresses && std::string(kind) != "other";
        if (json)
            records.push_back({{"text", text}, {"kind", kind}});
        else
            std::cout << text << "\t" << kind << "\n";
    }
    if (json) cli::PrintJson(records);
    return allAddresses ? cli::kExitOk : cli::kExitFailure;
}

int RunSame(cli::ArgReader& reader) {
    std::string first = reader.Next("first address");
    std::string second = reader.Next("second address");
    reader.Done();
    bool same = CIPFormat::IsSameIPAddress(cli::Wide(first), cli::Wide(second));
    std::cout << (same ? "same" : "different") << "\n";
    return same ? cli::kExitOk : cli::kExitFailure;
}

int RunCut(cli::ArgReader& reader, bool json) {
    std::string text = reader.Next("TEXT");
    reader.Done();
    CString ipv6Part, ipv4Tail, scopeId;
    int prefix = 0;
    if (!CIPFormatPeer::CutIPV6IntoIPV6IPV4PrefixScopeID(cli::Wide(text), ipv6Part, ipv4Tail,
                                                         prefix, scopeId)) {
        // The parts must come in the one order the grammar knows; a user who wrote the scope
        // ID before the prefix (as in fe80::1%4/64) learns it here.
        std::cerr << "tessmar-util: not a valid IPv6 address: " << text
                  << " (parts in this order: IPv6[/PREFIX][:IPv4 tail][%SCOPE], "
                     "e.g. fe80::1/64%4 or ::ffff/96:192.0.2.1)\n";
        return cli::kExitFailure;
    }
    if (json) {
        cli::PrintJson({{"ipv6_part", cli::Utf8(ipv6Part)},
                        {"ipv4_tail", cli::Utf8(ipv4Tail)},
                        {"prefix", prefix},
                        {"scope_id", cli::Utf8(scopeId)}});
        return cli::kExitOk;
    }
    std::cout << "IPv6 part\t" << cli::Utf8(ipv6Part) << "\n"
              << "IPv4 tail\t" << cli::Utf8(ipv4Tail) << "\n"
              << "prefix\t" << prefix << "\n"
              << "scope ID\t" << cli::Utf8(scopeId) << "\n";
    return cli::kExitOk;
}

int RunBond(cli::ArgReader& reader) {
    std::string text = reader.Next("TEXT");
    std::string prefixText = reader.Next("PREFIX");
    reader.Done();
    char* end = nullptr;
    errno = 0;
    long prefix = std::strtol(prefixText.c_str(), &end, 10);
    if (prefixText.empty() || *end != '\0' || errno != 0 || prefix < INT_MIN || prefix > INT_MAX)
        throw cli::UsageError("PREFIX must be a whole number, not " + prefixText);
    CString address = cli::Wide(text);
    if (!CIPFormatPeer::BondIPV6AddressWithPrefix(address, static_cast<int>(prefix))) {
        std::cerr << "tessmar-util: cannot join prefix " << prefix << " into " << text
                  << " (already has one, not splittable, or prefix outside 0 to 128)\n";
        return cli::kExitFailure;
    }
    std::cout << cli::Utf8(address) << "\n";
    return cli::kExitOk;
}

const char* StatusName(EIPV6ScopeIdStatus status) {
    switch (status) {
        case IPV6_SCOPEID_OK:
            return "IPV6_SCOPEID_OK";
        case IPV6_SCOPEID_IPV4_ADDRESS:
            return "IPV6_SCOPEID_IPV4_ADDRESS";
        case IPV6_SCOPEID_ALREADY_SET:
            return "IPV6_SCOPEID_ALREADY_SET";
        case IPV6_SCOPEID_SOCKET_ERROR:
            return "IPV6_SCOPEID_SOCKET_ERROR";
        case IPV6_SCOPEID_ADAPTER_ERROR:
            return "IPV6_SCOPEID_ADAPTER_ERROR";
        case IPV6_SCOPEID_INVALID_ADDRESS:
            return "IPV6_SCOPEID_INVALID_ADDRESS";
        case IPV6_SCOPEID_NO_MEMORY:
            return "IPV6_SCOPEID_NO_MEMORY";
        case IPV6_SCOPEID_LOAD_ERROR:
            return "IPV6_SCOPEID_LOAD_ERROR";
    }
    return "unknown";
}

int RunScope(cli::ArgReader& reader, bool json) {
    std::string text = reader.Next("TEXT");
    reader.Done();
    CString result;
    EIPV6ScopeIdStatus status = CIPFormat::MergeIPV6AddressWithScopeID(cli::Wide(text), result);
    if (json)
        cli::PrintJson({{"status", StatusName(status)},
                        {"code", static_cast<int>(status)},
                        {"result", cli::Utf8(result)}});
    else
        std::cout << "status\t" << StatusName(status) << " " << static_cast<int>(status) << "\n"
                  << "result\t" << cli::Utf8(result) << "\n";
    return status < 0 ? cli::kExitFailure : cli::kExitOk;
}

int RunIp(const cli::Args& args) {
    cli::ArgReader reader(args);
    // --json belongs to the record-printing actions; for the others it stays an unknown option.
    std::string action = reader.Next("check, same, cut, bond or scope");
    const bool json =
        (action == "check" || action == "cut" || action == "scope") && reader.Flag("--json");
    if (action == "check") return RunCheck(reader, json);
    if (action == "same") return RunSame(reader);
    if (action == "cut") return RunCut(reader, json);
    if (action == "bond") return RunBond(reader);
    if (action == "scope") return RunScope(reader, json);
    throw cli::UsageError("expected check, same, cut, bond or scope, not " + action);
}

void DemoAddresses(cli::DemoContext&) {
    for (const char16_t* text : {u"192.168.0.10", u"127.0.0.1", u"fe80::1%4", u"::ffff:192.0.2.1",
                                 u"1::192.0.2.1", u"printer01"})
        std::cout << "   " << cli::Utf8(text) << std::string(20 - cli::Utf8(text).size(), ' ')
                  << Kind(text) << "\n";
    struct Pair {
        const char16_t* first;
        const char16_t* second;
    } pairs[] = {{u"fe80::1%4", u"FE80:0:0:0:0:0:0:0001%4"},
                 {u"010.1.1.1", u"10.1.1.1"},
                 {u"fe80::1/64", u"fe80::1"},
                 {u"fe80::1%a", u"fe80::1%A"}};
    for (const Pair& p : pairs)
        std::cout << "   " << cli::Utf8(p.first) << " vs " << cli::Utf8(p.second) << ": "
                  << (CIPFormat::IsSameIPAddress(p.first, p.second) ? "same" : "different") << "\n";
}

}  // namespace

CLI_COMMAND(
    "ip",
    "ip check [--json] TEXT...   (valid IPv4, IPv4, IPv6 or other; exit 1 if any is other)\n"
    "ip same A B                 (exit 0 same, 1 different)\n"
    "ip cut [--json] TEXT        (IPv6 part, IPv4 tail, prefix, scope ID)\n"
    "ip bond TEXT PREFIX         (join a prefix length into an IPv6 text)\n"
    "ip scope [--json] TEXT      (complete with the first Ethernet adapter's zone; exit 1 on a "
    "negative status)",
    "classify, compare and take apart IP address text", RunIp);
CLI_DEMO_STEP(30, "IP addresses as a user types them", DemoAddresses);

void DemoScope(cli::DemoContext&) {
    for (const char16_t* text : {u"fe80::1", u"fe80::1%4", u"2001:db8::1", u"10.0.0.1"}) {
        CString result;
        EIPV6ScopeIdStatus status = CIPFormat::MergeIPV6AddressWithScopeID(text, result);
        std::cout << "   " << cli::Utf8(text) << " -> " << cli::Utf8(result) << "  ("
                  << StatusName(status) << ")\n";
    }
}

CLI_DEMO_STEP(35, "Scope ID of a link-local address from the first Ethernet adapter", DemoScope);
