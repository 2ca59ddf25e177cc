#ifndef UTIL_IPFORMAT_IP_FORMAT_PEER_H
#define UTIL_IPFORMAT_IP_FORMAT_PEER_H

// Access to CIPFormat's private members for the unit tests and for the command-line program's
// diagnostic subcommands (`ip cut`, `ip bond`), which show the decomposition a host never sees.
// Each function forwards to the private member of the same name; the contracts are documented
// there.

#include "util/ipformat/ip_format.h"

class CIPFormatPeer {
  public:
    static const CString& Text(const CIPFormat& object) { return object.m_strAddress; }

    static bool IsIPv4HostInfo(CString a) { return CIPFormat::IsIPv4HostInfo(a); }
    static bool IsValidIPv4HostInfo(CString a) { return CIPFormat::IsValidIPv4HostInfo(a); }
    static bool IsExistBanChar(CString t, CString s) { return CIPFormat::IsExistBanChar(t, s); }
    static bool GetByteData(CString t) { return CIPFormat::GetByteData(t); }
    static bool GetIPv4ByteData(CString t, CString& o, CString& r) {
        return CIPFormat::GetIPv4ByteData(t, o, r);
    }
    static CIPFormat::IPAddressStatus VarifyIPAddress(CString a) {
        return CIPFormat::VarifyIPAddress(a);
    }

    static bool IsIPv6HostInfo(CString a) { return CIPFormat::IsIPv6HostInfo(a); }
    static bool GetIPDataInIPv6HostInfo(CString h, CString& p, CString& t) {
        return CIPFormat::GetIPDataInIPv6HostInfo(h, p, t);
    }
    static bool GetIPv6IPData(CString p, bool tail) { return CIPFormat::GetIPv6IPData(p, tail); }
    static bool PreCheckIPv6IPData(CString p, bool tail, CString& bare) {
        return CIPFormat::PreCheckIPv6IPData(p, tail, bare);
    }
    static bool ParseCompressIPv6IPData(CString t, CString& f, CString& b) {
        return CIPFormat::ParseCompressIPv6IPData(t, f, b);
    }
    static bool IsCompressIPv6IPData(CString f, CString b) {
        return CIPFormat::IsCompressIPv6IPData(f, b);
    }
    static bool IsAfterCompressIPv6IPData(CString& g) {
        return CIPFormat::IsAfterCompressIPv6IPData(g);
    }
    static bool IsFrontCompressIPv6IPData(CString& g) {
        return CIPFormat::IsFrontCompressIPv6IPData(g);
    }
    static bool IsUnCompressIPv6IPData(CString g, bool tail) {
        return CIPFormat::IsUnCompressIPv6IPData(g, tail);
    }
    static bool IsIPv6AddressesWithEmbeddedIPv4Addresses(StringList g) {
        return CIPFormat::IsIPv6AddressesWithEmbeddedIPv4Addresses(g);
    }
    static bool GetIPv6ShortData(CString t, CString& g, CString& r) {
        return CIPFormat::GetIPv6ShortData(t, g, r);
    }
    static bool GetShortData(CString t) { return CIPFormat::GetShortData(t); }
    static bool GetIPv4ByteDataInIPv6HostInfo(CString t) {
        return CIPFormat::GetIPv4ByteDataInIPv6HostInfo(t);
    }
    static bool IsValidIPv6Prefix(CString t) { return CIPFormat::IsValidIPv6Prefix(t); }
    static bool IsValidIPv6Prefix(int p) { return CIPFormat::IsValidIPv6Prefix(p); }
    static bool IsValidScopeId(CString t) { return CIPFormat::IsValidScopeId(t); }
    static int64_t HexCString2long(CString t) { return CIPFormat::HexCString2long(t); }

    static bool CutIPV6IntoIPV6IPV4PrefixScopeID(CString a, CString& v6, CString& v4, int& prefix,
                                                 CString& scope) {
        return CIPFormat::CutIPV6IntoIPV6IPV4PrefixScopeID(a, v6, v4, prefix, scope);
    }
    static bool CutIPV6IntoAddressAndPrefix(CString& a, int& prefix) {
        return CIPFormat::CutIPV6IntoAddressAndPrefix(a, prefix);
    }
    static bool BondIPV6AddressWithPrefix(CString& a, int prefix) {
        return CIPFormat::BondIPV6AddressWithPrefix(a, prefix);
    }
    static CString GetScopeidFromIPV6(CString a) { return CIPFormat::GetScopeidFromIPV6(a); }
    static bool IsIPV6AddressIncludeScopeID(CString a) {
        return CIPFormat::IsIPV6AddressIncludeScopeID(a);
    }

    static bool IsSameIPV4Address(CString a, CString b) {
        return CIPFormat::IsSameIPV4Address(a, b);
    }
    static bool IsSameIPV6Address(CString a, CString b) {
        return CIPFormat::IsSameIPV6Address(a, b);
    }
    static bool IsIPV6MainPartSame(CString a, CString b) {
        return CIPFormat::IsIPV6MainPartSame(a, b);
    }
    static bool GetSectionDataFromIPV6(CString p, CString* groups) {
        return CIPFormat::GetSectionDataFromIPV6(p, groups);
    }
    static bool IsIPV6ScopeIDSame(CString a, CString b) {
        return CIPFormat::IsIPV6ScopeIDSame(a, b);
    }
};

#endif  // UTIL_IPFORMAT_IP_FORMAT_PEER_H
