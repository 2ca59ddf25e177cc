#ifndef UTIL_PLATFORM_BYTE_ORDER_H
#define UTIL_PLATFORM_BYTE_ORDER_H

// The byte order of the machine the library runs on, for code that writes UTF-16LE files
// straight from char16_t memory when it can.

namespace util_platform {

#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && \
    __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kLittleEndianHost = false;
#else
constexpr bool kLittleEndianHost = true;  // x86, ARM and Windows targets
#endif

}  // namespace util_platform

#endif  // UTIL_PLATFORM_BYTE_ORDER_H
