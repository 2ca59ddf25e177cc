#ifndef UTIL_IPFORMAT_IP_FORMAT_H
#define UTIL_IPFORMAT_IP_FORMAT_H

// CIPFormat: IP address text as a user types it.
//
// The class decides whether a text is an IPv4 address, a valid IPv6 address or neither, takes
// IPv6 texts apart (groups, embedded IPv4 tail, prefix length, scope ID), compares addresses and
// completes a link-local or site-local IPv6 address with the zone index of the machine's first
// Ethernet adapter. Almost everything is a static member taking the text by value (a CString
// copy shares its buffer, so this costs no allocation) and answering with a bool or a small
// enumeration; nothing throws and nothing is logged.
//
// What the validators accept, in short (no white space anywhere, nothing before or after):
//   IPv4:  four runs of ASCII digits, each 0 to 255, separated by single dots ("010.1.1.1").
//   IPv6:  groups of 1 to 4 hexadecimal digits separated by ":", at most one "::"; an optional
//          "/" and prefix length (1 to 3 digits, 0 to 128) right after the groups; an optional
//          ":" and dotted IPv4 tail; an optional "%" and hexadecimal scope ID up to FFFFFFFF.
//          Their joined order is groups, prefix, tail, scope ID: "::ffff/96:192.0.2.1%4".
//
// All static members are reentrant: they read only their arguments and the module's constant
// character sets. Letter case is ignored in hexadecimal digits everywhere except in scope IDs,
// which are compared as text.

#include <cstdint>

#include "util/base/cstring.h"
#include "util/util_export.h"

// Result of CIPFormat::MergeIPV6AddressWithScopeID.
enum EIPV6ScopeIdStatus : int32_t {
    IPV6_SCOPEID_OK = 0,                // completed, or a global address that needs no zone
    IPV6_SCOPEID_IPV4_ADDRESS = 1,      // the text is an IPv4 address; nothing to do
    IPV6_SCOPEID_ALREADY_SET = 2,       // a valid IPv6 address that already has a scope ID
    IPV6_SCOPEID_SOCKET_ERROR = -1,     // the socket layer did not start
    IPV6_SCOPEID_ADAPTER_ERROR = -2,    // no adapter list, no Ethernet adapter, or bad zones
    IPV6_SCOPEID_INVALID_ADDRESS = -3,  // not an address, or an IPv6 kind that is not completed
    IPV6_SCOPEID_NO_MEMORY = -4,        // no memory for the adapter list
    IPV6_SCOPEID_LOAD_ERROR = -5,       // socket layer or adapter query could not be loaded
};

class UTIL_EXPORT CIPFormat {
  public:
    enum IPAddressStatus : int32_t {
        IPAS_IPv4 = 0,   // IsIPV4Address accepts the text
        IPAS_IPv6 = 1,   // not IPv4, and IsValidIPV6Address accepts the text
        IPAS_Other = 2,  // neither: a host name, or an invalid text
    };

    // An object only carries one text, which no operation reads.
    CIPFormat();
    CIPFormat(const CString& address);
    CIPFormat(const CIPFormat& other);
    virtual ~CIPFormat();
    CIPFormat& operator=(const CIPFormat& other);
    CIPFormat& operator=(const CString& address);

    // True when the text is a dotted-decimal IPv4 address: four runs of ASCII digits with values
    // 0 to 255 and single dots between them. Leading zeros are decimal, never octal.
    //   IsIPV4Address("010.001.000.255") -> true    (10.1.0.255)
    //   IsIPV4Address("255.255.255.255") -> true    (no address is special here)
    //   IsIPV4Address("1.2.3"), IsIPV4Address(" 1.2.3.4") -> false
    static bool IsIPV4Address(CString address);

    // As IsIPV4Address, and the first octet is neither 127 nor 224 or above. Only the first
    // octet is looked at.
    //   IsValidIPV4Address("0.0.0.0") -> true
    //   IsValidIPV4Address("127.0.0.1"), IsValidIPV4Address("224.0.0.1") -> false
    static bool IsValidIPV4Address(CString address);

    // True when the whole text is an IPv6 address in the forms listed at the top of this file.
    //   IsValidIPV6Address("::192.0.2.1"), ("::ffff/96:192.0.2.1%4") -> true
    //   IsValidIPV6Address("1::192.0.2.1") -> false  ("::" stands before a tail only at the start)
    //   IsValidIPV6Address("fe80::1%eth0") -> false  (scope IDs are hexadecimal numbers)
    // Our choice: a "::" form before an IPv4 tail holds at most 5 groups, because the tail stands
    // for two groups and "::" for at least one:
    //   IsValidIPV6Address("::1:2:3:4:5:6:7:192.0.2.1") -> false
    // An uncompressed form before a tail must be 0:0:0:0:0:0 or 0:0:0:0:0:ffff.
    static bool IsValidIPV6Address(CString address);

    // True when two texts name the same address. White space around each text is ignored; two
    // empty texts are the same. An IPv4 text never equals an IPv6 text. IPv4 octets compare by
    // value; IPv6 groups by hexadecimal value; prefix lengths must be equal (missing counts as
    // 0); scope IDs compare as case-sensitive text; anything else compares character for
    // character.
    //   IsSameIPAddress("fe80::1", "FE80:0:0:0:0:0:0:0001") -> true
    //   IsSameIPAddress("fe80::1%a", "fe80::1%A")            -> false
    //   IsSameIPAddress("::ffff:192.0.2.1", "::ffff:c000:201") -> false (tail against groups)
    // Our choice: groups written after a "::" that precedes an IPv4 tail end at group 5, so
    //   IsSameIPAddress("::ffff:192.0.2.1", "0:0:0:0:0:ffff:192.0.2.1") -> true
    static bool IsSameIPAddress(CString first, CString second);

    // Completes a link-local (first group fe80) or site-local (first group fd00) IPv6 address
    // with "%" and the zone index of the first Ethernet adapter of this machine. `result` is
    // written in every case: the completed text, or a copy of `address`. The completion goes
    // after any prefix ("fe80::1/64" -> "fe80::1/64%4"). IPv4 texts, invalid texts and addresses
    // that already have a scope ID are answered without asking the system about its adapters.
    // Global addresses (first digit 2 or 3) come back unchanged with IPV6_SCOPEID_OK once an
    // Ethernet adapter was found; every other IPv6 kind gives IPV6_SCOPEID_INVALID_ADDRESS.
    //   MergeIPV6AddressWithScopeID("fe80::1", r)   -> OK, r == "fe80::1%2"  (zone index 2)
    //   MergeIPV6AddressWithScopeID("10.0.0.1", r)  -> IPV4_ADDRESS, r == "10.0.0.1"
    //   MergeIPV6AddressWithScopeID("127.0.0.1", r) -> INVALID_ADDRESS (not a valid IPv4)
    static EIPV6ScopeIdStatus MergeIPV6AddressWithScopeID(CString address, CString& result);

  private:
    friend class CIPFormatPeer;

    // --- IPv4 text ---------------------------------------------------------------------------
    static bool IsIPv4HostInfo(CString address);
    static bool IsValidIPv4HostInfo(CString address);
    // True when `text` holds at least one character that is NOT in `allowed`. "" -> false.
    static bool IsExistBanChar(CString text, CString allowed);
    // One decimal octet: ASCII digits only, value 0 to 255 ("0255" is 255).
    static bool GetByteData(CString text);
    // Splits the first octet off a dotted text. An empty text is rejected with both outputs
    // unchanged; a text without "." that is no octet empties both; an invalid octet before the
    // first "." leaves both unchanged. "7." gives octet "7" and rest "".
    static bool GetIPv4ByteData(CString text, CString& octet, CString& rest);
    // IPv4 (permissive test) first, then IPv6: "127.0.0.1" is IPAS_IPv4.
    static IPAddressStatus VarifyIPAddress(CString address);

    // --- IPv6 validation layers --------------------------------------------------------------
    static bool IsIPv6HostInfo(CString address);
    // Splits a host text (no scope ID) at the ":" before a dotted tail and validates both halves.
    // Unsplittable texts leave the outputs unchanged; an invalid half empties both.
    //   "::ffff:192.0.2.1" -> "::ffff" + "192.0.2.1";  "::192.0.2.1" -> ":" + "192.0.2.1"
    static bool GetIPDataInIPv6HostInfo(CString host, CString& ipv6Part, CString& ipv4Tail);
    static bool GetIPv6IPData(CString ipv6Part, bool hasIPv4Tail);
    // Characters, prefix and final colon of an IPv6 part; `bare` receives the part without
    // "/prefix" (written only when accepted). The flag does not influence the result.
    static bool PreCheckIPv6IPData(CString ipv6Part, bool hasIPv4Tail, CString& bare);
    // Exactly one "::" (":::" counts as two). Outputs unchanged on rejection.
    //   "fe80::1" -> "fe80" + "1";  "::" -> "" + "";  "1:::2" -> false
    static bool ParseCompressIPv6IPData(CString text, CString& front, CString& back);
    static bool IsCompressIPv6IPData(CString front, CString back);
    // 1 to 7 groups. Consumes the argument: on return it holds at most its last group.
    static bool IsAfterCompressIPv6IPData(CString& groups);
    static bool IsFrontCompressIPv6IPData(CString& groups);
    static bool IsUnCompressIPv6IPData(CString groups, bool hasIPv4Tail);
    static bool IsIPv6AddressesWithEmbeddedIPv4Addresses(StringList groups);
    // Splits the first group off. A text without ":" that is no group empties both outputs; an
    // invalid group before the first ":" leaves both unchanged.
    static bool GetIPv6ShortData(CString text, CString& group, CString& rest);
    static bool GetShortData(CString text);
    static bool GetIPv4ByteDataInIPv6HostInfo(CString text);
    // 1 to 3 ASCII digits, value 0 to 128 ("064" yes, "0064" no).
    static bool IsValidIPv6Prefix(CString text);
    static bool IsValidIPv6Prefix(int prefix);
    // One or more hexadecimal digits with a value up to FFFFFFFF; "12" is the value 0x12.
    static bool IsValidScopeId(CString text);
    // The hexadecimal value of the text; 0 when it is empty or holds any other character.
    //   HexCString2long("ffff") -> 65535,  HexCString2long("1g") -> 0
    // Exact below 2^63; from 2^63 on the answer is INT64_MAX (our choice).
    static int64_t HexCString2long(CString text);

    // --- Decomposition -----------------------------------------------------------------------
    // Cuts a valid IPv6 text into its four parts; the prefix is read from the first "/".
    // Outputs are "", "", 0, "" when the text is invalid.
    //   "::ffff/96:192.0.2.1%5" -> "::ffff", "192.0.2.1", 96, "5"
    static bool CutIPV6IntoIPV6IPV4PrefixScopeID(CString address, CString& ipv6Part,
                                                 CString& ipv4Tail, int& prefix, CString& scopeId);
    // Removes "/prefix" in place: "fe80::1/64%4" -> "fe80::1%4", prefix 64. False (text
    // unchanged, prefix 0) for an invalid text or one without "/".
    static bool CutIPV6IntoAddressAndPrefix(CString& address, int& prefix);
    // Joins a prefix back in, before any tail and scope ID:
    //   ("fe80::1%4", 64) -> "fe80::1/64%4";  ("::192.0.2.1", 96) -> ":/96:192.0.2.1"
    // False, text unchanged, when it already holds "/", cannot be split, or the prefix is
    // outside 0 to 128. The scope ID is not validated.
    static bool BondIPV6AddressWithPrefix(CString& address, int prefix);
    // The valid hexadecimal scope ID after the first "%", white space stripped; "" otherwise.
    // The rest of the text is not validated: "abc%7" -> "7".
    static CString GetScopeidFromIPV6(CString address);
    static bool IsIPV6AddressIncludeScopeID(CString address);

    // --- Comparison --------------------------------------------------------------------------
    static bool IsSameIPV4Address(CString first, CString second);
    static bool IsSameIPV6Address(CString first, CString second);
    static bool IsIPV6MainPartSame(CString first, CString second);
    // Expands an IPv6 part into eight group texts ("0" where nothing was written). Always true.
    // Pieces beyond eight are ignored, so a malformed text never writes outside the array.
    static bool GetSectionDataFromIPV6(CString ipv6Part, CString* groups);
    static bool IsIPV6ScopeIDSame(CString first, CString second);

    CString m_strAddress;
};

#endif  // UTIL_IPFORMAT_IP_FORMAT_H
