#ifndef UTIL_LOGGING_LOG_FILE_H
#define UTIL_LOGGING_LOG_FILE_H

// The process-wide object behind Logging: the open log file and the lock that serialises its
// writes. Exactly one exists, `LogFile`, built when the module is loaded (see util/module.cpp)
// and destroyed when it is unloaded; destruction closes the file if Logging::Term was not
// called, so the log is complete and closed at exit either way.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "util/base/file_handle.h"
#include "util/common/thread.h"

class CLogFile {
  public:
    CLogFile() = default;
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // A handle is valid when it is neither 0 nor the all-ones "invalid handle" value.
    static bool IsValid(FileHandle handle) {
        return handle != nullptr && handle != reinterpret_cast<FileHandle>(~uintptr_t{0});
    }

    FileHandle handle() const { return handle_; }
    // Stores a newly opened handle, closing the previous one if it is valid and different.
    void Replace(FileHandle opened);
    // Closes the stored handle if it is valid; the stored handle becomes 0.
    void Close();

    // Writes count UTF-16 code units as UTF-16LE and returns once they are in the file (handed
    // to the operating system), holding the lock for the file write only. True when every byte
    // was written; false (nothing reported further) when no file is open or the write failed.
    // A write that fails part way (a full disk) is taken back: the file is cut to where the text
    // began, so the log never holds half a text and the next text that fits lands right after
    // the last whole one.
    //
    // Texts that arrive while another thread writes are not queued behind it one write each:
    // each caller puts its text on a list, and whichever caller next holds the lock writes every
    // text on the list in one file write, each whole and in the order they came. Contended
    // writers so share one system call, and every caller still returns only after its own text
    // has been written. Should the shared write fail, each text is written again alone, so that
    // a full disk drops only the texts that do not fit.
    bool WriteLocked(const char16_t* units, size_t count);

  private:
    struct Request;
    bool WriteLittleEndian(const char16_t* units, size_t count);
    void WriteWaiting();
    void WriteBatch(Request* oldest);
    bool JoinBatch(const Request* oldest);
    bool WriteOne(const void* data, uint32_t bytes);

    FileHandle handle_ = nullptr;
    int64_t end_ = -1;  // where the next text begins; -1 when unknown (no rollback then)
    common::sdk::CriticalSection lock_;  // held for each file write

    // The texts waiting to be written, newest first. Callers push without the lock; the lock's
    // holder takes the whole list at once.
    std::atomic<Request*> waiting_{nullptr};
    // The holder's own: the bytes of several texts joined for one write.
    std::string joined_;
};

extern CLogFile LogFile;

#endif  // UTIL_LOGGING_LOG_FILE_H
