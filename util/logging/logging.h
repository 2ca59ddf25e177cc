#ifndef UTIL_LOGGING_LOGGING_H
#define UTIL_LOGGING_LOGGING_H

// Logging: the tool's one log file "Tessmar.log" (UTF-16LE, CR LF line ends, one generation of
// backup in "Tessmar.bak"), with timestamped lines and a start and end record around each
// firmware download. All members are static; behind them stands one process-wide log file
// object with its lock. Before Init, after Term and after a failed Init every write is dropped.

#include "util/util_export.h"

class UTIL_EXPORT Logging {
  public:
    Logging() = delete;

    static void Init(const char16_t* folder, bool append);
    static void Term();
    static bool IsInitialized();
    static void Write(const char16_t* text, bool timestamp);
    static void WriteV(const char16_t* format, ...);
    static void Debug(const char16_t* format, ...);
    static void DebugLogEnabled(bool on);
    static void StartDownload(const char16_t* deviceType, const char16_t* portName,
                              const char16_t* text, const char16_t* sysName);
    static void EndDownload();
};

#endif  // UTIL_LOGGING_LOGGING_H
