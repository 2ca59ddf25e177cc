#include "util/logging/logging.h"

#include <atomic>
#include <cstdarg>
#include <string>
#include <string_view>

#include "util/base/format.h"
#include "util/base/path.h"
#include "util/base/small_text.h"
#include "util/files/file_access.h"
#include "util/files/file_access_internal.h"
#include "util/logging/log_file.h"
#include "util/logging/timestamp.h"
#include "util/platform/file_names.h"
#include "util/platform/local_time.h"
#include "util/platform/temp_folder.h"

namespace {

constexpr char16_t kLogName[] = u"Tessmar.log";
constexpr char16_t kBackupName[] = u"Tessmar.bak";
constexpr char16_t kLineEnd[] = u"\r\n";
constexpr char16_t kDownloadRule[] = u"------------------";  // 18 hyphens
constexpr char16_t kSectionRule[] = u"----";
constexpr char16_t kByteOrderMark[] = {0xFEFF};

// Plain flags read without the lock. Init and Term must not race with writers (they are not
// locked), so atomics with relaxed order only make the concurrent reads well defined.
std::atomic<bool> g_initialized{false};
std::atomic<bool> g_debug{false};

// A line is built on its writer's stack (a thread_local buffer is not an option: a thread-local
// object with a destructor makes the runtime hold a reference on the module, so Util.dll could
// then never be unloaded by FreeLibrary).
using Line = util_base::SmallText;

void AppendTimestampNow(Line& out) {
    util_logging::AppendTimestamp(out, util_platform::LocalTimeMs());
}

bool WriteText(const Line& text) {
    return LogFile.WriteLocked(text.data(), text.size());
}

// Formats a timestamped line and writes it; the caller has checked that the log is open.
void WriteFormattedLine(const char16_t* format, va_list args) {
    Line line;
    line += u'[';
    AppendTimestampNow(line);
    line += u"] ";
    util_format::FormatVaList(line, format ? format : u"", args);
    line += kLineEnd;
    WriteText(line);
}

// Starts a download record in the line buffer: the rule line, then the label with the time.
void BeginBlock(Line& block, const char16_t* rule, const char16_t* label) {
    block += rule;
    block += kLineEnd;
    block += label;
    AppendTimestampNow(block);
    block += kLineEnd;
}

// Deletes the old backup and renames the old log to be the backup. Each step may fail (a
// folder that does not exist, a file in use): the failure is ignored and Init goes on.
void Rotate(const CString& folder) {
    const CString backup = folder + kBackupName;
    const CString log = folder + kLogName;
    if (util_platform::DirectoryEntryExists(backup.View()))
        util_platform::DeleteFileEntry(backup.View());
    if (util_platform::DirectoryEntryExists(log.View()))
        util_platform::RenameFileEntry(log.View(), backup.View());
}

// The user's temporary folder as the platform reports it into a buffer of 260 characters; a
// longer text would not fit, so that folder is then not available.
CString TempFolderText() {
    constexpr size_t kBufferChars = 260;
    std::u16string folder = util_platform::TempFolder();
    return folder.size() < kBufferChars ? CString(folder) : CString();
}

// Opens the log in one folder; true when the log file is open and ready for its first line.
// A log created in the temporary folder is private to its owner: it may hold what the host
// logs about a user's devices, and that folder may be shared (TMPDIR).
bool OpenIn(const CString& folder, bool append, bool ownerOnly) {
    CPath path(folder);
    path.Append(kLogName);
    FileHandle opened =
        file_access_internal::OpenFile(path, append ? FM_Append : FM_Create, ownerOnly);
    if (!CLogFile::IsValid(opened)) return false;
    LogFile.Replace(opened);
    if (append) return true;
    if (LogFile.WriteLocked(kByteOrderMark, 1)) return true;
    LogFile.Close();
    return false;
}

}  // namespace

void Logging::Init(const char16_t* folder, bool append) {
    // A log that is still open is closed first: held open, it would refuse its own re-opening
    // (the log lets others read it, not write it) and an Init for the same folder would then
    // land in the temporary folder.
    g_initialized.store(false, std::memory_order_relaxed);
    LogFile.Close();
    CPath given(folder);
    given.AddBackslash();
    if (!append) Rotate(given);

    bool opened = OpenIn(given, append, false);
    if (!opened) {
        const CString temp = TempFolderText();  // empty when the user has none
        opened = !temp.IsEmpty() && OpenIn(temp, append, true);
    }
    if (!opened) return;
    try {
        Line line;
        line += kLogName;
        line += kLineEnd;
        WriteText(line);
    } catch (...) {
        LogFile.Close();
        return;
    }
    g_initialized.store(true, std::memory_order_relaxed);
}

void Logging::Term() {
    if (!g_initialized.load(std::memory_order_relaxed)) return;
    LogFile.Close();
    g_initialized.store(false, std::memory_order_relaxed);
}

bool Logging::IsInitialized() {
    return g_initialized.load(std::memory_order_relaxed);
}

void Logging::Write(const char16_t* text, bool timestamp) {
    if (!text || !IsInitialized()) return;
    Line line;
    if (timestamp) {
        line += u'[';
        AppendTimestampNow(line);
        line += u"] ";
    }
    line += text;
    line += kLineEnd;
    WriteText(line);
}

void Logging::WriteV(const char16_t* format, ...) {
    if (!IsInitialized()) return;
    va_list args;
    va_start(args, format);
    WriteFormattedLine(format, args);
    va_end(args);
}

void Logging::Debug(const char16_t* format, ...) {
    if (!g_debug.load(std::memory_order_relaxed) || !IsInitialized()) return;
    va_list args;
    va_start(args, format);
    WriteFormattedLine(format, args);
    va_end(args);
}

#if UTIL_WCHAR_IS_UTF16
// wchar_t and char16_t hold the same UTF-16 units here; the arguments are read through the
// same va_list path, so "%s" takes a const wchar_t* as it takes a const char16_t*.
void Logging::WriteV(const wchar_t* format, ...) {
    if (!IsInitialized()) return;
    va_list args;
    va_start(args, format);
    WriteFormattedLine(reinterpret_cast<const char16_t*>(format), args);
    va_end(args);
}

void Logging::Debug(const wchar_t* format, ...) {
    if (!g_debug.load(std::memory_order_relaxed) || !IsInitialized()) return;
    va_list args;
    va_start(args, format);
    WriteFormattedLine(reinterpret_cast<const char16_t*>(format), args);
    va_end(args);
}
#endif

void Logging::DebugLogEnabled(bool on) {
    g_debug.store(on, std::memory_order_relaxed);
}

void Logging::StartDownload(const char16_t* deviceType, const char16_t* portName,
                            const char16_t* text, const char16_t* sysName) {
    if (!IsInitialized()) return;
    Line block;
    BeginBlock(block, kDownloadRule, u"[Start Time]");
    if (deviceType) {
        block += u"[Device Type]:";
        block += deviceType;
        block += kLineEnd;
    }
    if (portName) {
        block += u"[Port Name]:";
        block += portName;
        block += kLineEnd;
    }
    if (text) {
        block += kSectionRule;
        block += kLineEnd;
        block += text;
        block += kLineEnd;
    }
    if (sysName) {
        block += u"sysName = '";
        block += sysName;
        block += u"'";
        block += kLineEnd;
    }
    WriteText(block);
}

void Logging::EndDownload() {
    if (!IsInitialized()) return;
    Line block;
    BeginBlock(block, kSectionRule, u"[Finish Time]");
    block += kDownloadRule;
    block += kLineEnd;
    block += kLineEnd;
    WriteText(block);
}
