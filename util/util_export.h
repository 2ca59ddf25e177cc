#ifndef UTIL_UTIL_EXPORT_H
#define UTIL_UTIL_EXPORT_H

// UTIL_EXPORT marks the interface that the shared library offers to its host. Everything else is
// compiled with hidden visibility, so internal helpers never become part of the ABI.
#if defined(_WIN32)
#if defined(UTIL_BUILDING)
#define UTIL_EXPORT __declspec(dllexport)
#else
#define UTIL_EXPORT __declspec(dllimport)
#endif
#else
#define UTIL_EXPORT __attribute__((visibility("default")))
#endif

#endif  // UTIL_UTIL_EXPORT_H
