// The CIPFormat object, white space, and the generic forbidden-character test.

#include "util/ipformat/ip_format.h"

#include "util/ipformat/ip_text.h"
#include "util/platform/unicode.h"

namespace ip_text {

namespace {

// Printable ASCII is never white space; only other units need the platform's classification.
bool IsSpace(char16_t ch) {
    return (ch <= u' ' || ch >= 0x7F) && util_platform::IsSpaceUnit(ch);
}

}  // namespace

View TrimSpace(View text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace ip_text

CIPFormat::CIPFormat() = default;
CIPFormat::CIPFormat(const CString& address) : m_strAddress(address) {}
CIPFormat::CIPFormat(const CIPFormat& other) = default;
CIPFormat::~CIPFormat() = default;
CIPFormat& CIPFormat::operator=(const CIPFormat& other) = default;
CIPFormat& CIPFormat::operator=(const CString& address) {
    m_strAddress = address;
    return *this;
}

bool CIPFormat::IsExistBanChar(CString text, CString allowed) {
    return ip_text::HasCharOutside(text.View(), ip_text::CharSet(allowed.View()));
}
