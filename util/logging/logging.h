#ifndef UTIL_LOGGING_LOGGING_H
#define UTIL_LOGGING_LOGGING_H

// Logging: the tool's one log file "Tessmar.log", with timestamped lines and a start and end
// record around each firmware download. All members are static; behind them stands one
// process-wide log file object with its lock (util/logging/log_file.h), which closes the file
// when the module is unloaded even if Term was never called.
//
// The file: UTF-16LE code units with CR LF line ends that the log writes itself (a caller's text
// goes in unchanged, so a text with line ends of its own makes several lines). A file that Init
// creates anew starts with the byte-order mark FF FE; a file opened for appending never gets
// one. A timestamp TS is the local time as "YYYY-MM-DD hh:mm:ss.mmm" (23 characters). No size
// limit, no buffering of our own: every line or block reaches the operating system with one
// write before the call returns, so the log is complete up to the last call even if the process
// dies.
//
// Nothing here reports an error. Before Init, after Term and after a failed Init every write is
// dropped silently; a write the file system refuses (a full disk) is dropped whole, never left
// half written, and later lines land again once there is room.
//
// Threads: every write builds its line or block first and then writes it under the lock, so
// lines of different threads never interleave. Lines that other threads hand in while one is
// being written wait and go out together, each whole, with the next file write; each call still
// returns only once its own line is in the file. Init, Term and DebugLogEnabled take no lock:
// Init and Term must not run while another thread writes.

#include "util/base/wide_char.h"
#include "util/util_export.h"

class UTIL_EXPORT Logging {
  public:
    Logging() = delete;

    // Opens "Tessmar.log" in folder (a missing trailing separator is added; a null or empty
    // folder means the current directory).
    //   - append false: first the backup rotates in that folder, one generation deep: an old
    //     "Tessmar.bak" is deleted and an old "Tessmar.log" renamed to "Tessmar.bak" (failures
    //     are ignored); then the log is created anew with the byte-order mark. A log that is
    //     open (this process's or another's log, a host's handle or stream on it) is neither
    //     renamed nor truncated: its lines stay where they are and this log goes to the
    //     temporary folder as below.
    //   - append true: the log is opened or created and written at its end; nothing rotates.
    // When the folder cannot take the log (missing, not a folder, no room for the byte-order
    // mark, a symbolic link at "Tessmar.log") the log goes to the user's temporary folder
    // instead (util/platform/temp_folder.h), with no rotation there; a log created there can be
    // read and written by its owner only. When the user has no usable temporary folder, or a
    // link sits at its "Tessmar.log" too, Init fails. The log is never opened through a
    // symbolic link. A successful open writes the line "Tessmar.log" CR LF. Success shows only
    // in IsInitialized. While the log is open, other openers (handles, text streams, other
    // programs using this library) may read it but not write it.
    // Init on a log that is still open closes it first (as Term would), then opens as above.
    static void Init(const char16_t* folder, bool append);

    // Closes the log (writing nothing) if it is open; otherwise does nothing.
    static void Term();

    // True between a successful Init and Term.
    static bool IsInitialized();

    // Writes text and CR LF; with timestamp true as "[" TS "] " text CR LF:
    //   Write(u"abc", false)  -> "abc\r\n"
    //   Write(u"", false)     -> "\r\n"
    //   Write(nullptr, true)  -> nothing at all
    static void Write(const char16_t* text, bool timestamp);

    // Formats like CString::FormatV ("%s" takes a const char16_t*, "%d" an int) and writes the
    // result as a timestamped line.
    static void WriteV(const char16_t* format, ...);

    // As WriteV, but only while debug logging is on; otherwise returns at once without
    // formatting.
    static void Debug(const char16_t* format, ...);

    // Switches debug logging on or off. Off at load; kept across Init and Term.
    static void DebugLogEnabled(bool on);

    // Writes the start record of a download as one block; a null argument leaves its line out,
    // an empty one keeps it:
    //   "------------------" CR LF                         (18 hyphens)
    //   "[Start Time]" TS CR LF
    //   "[Device Type]:" deviceType CR LF                   (if deviceType)
    //   "[Port Name]:" portName CR LF                       (if portName)
    //   "----" CR LF text CR LF                             (if text)
    //   "sysName = '" sysName "'" CR LF                     (if sysName)
    static void StartDownload(const char16_t* deviceType, const char16_t* portName,
                              const char16_t* text, const char16_t* sysName);

    // Writes the end record of a download as one block:
    //   "----" CR LF "[Finish Time]" TS CR LF "------------------" CR LF CR LF
    static void EndDownload();

#if UTIL_WCHAR_IS_UTF16
    // The operations above for wchar_t text (LPCWSTR), where wchar_t is UTF-16; the same results.
    // In the formats "%s" takes a const wchar_t* just as a const char16_t*:
    //   Logging::Init(L"C:\\Logs", false);  Logging::WriteV(L"%s on port %d", L"dev", 3);
    static void Init(util_wide::Text folder, bool append) {
        Init(folder.get(), append);
    }
    static void Write(util_wide::Text text, bool timestamp) {
        Write(text.get(), timestamp);
    }
    static void WriteV(const wchar_t* format, ...);
    static void Debug(const wchar_t* format, ...);
    static void StartDownload(util_wide::Text deviceType, util_wide::Text portName,
                              util_wide::Text text, util_wide::Text sysName) {
        StartDownload(deviceType.get(), portName.get(), text.get(), sysName.get());
    }
#endif
};

#endif  // UTIL_LOGGING_LOGGING_H
