#ifndef UTIL_FILES_SCOPED_TEMP_DIR_H
#define UTIL_FILES_SCOPED_TEMP_DIR_H

// ScopedTempDir: a fresh, empty directory under the user's temporary folder that is removed,
// with everything in it, on Delete() or when the object goes away.
//
// It guarantees a new directory of our own: the name is checked to be free and the creation
// fails rather than reuse anything that appears under it meanwhile. The directory is private to
// its owner (0700 on POSIX, where the temporary folder is shared by all users), and removal
// never follows a symbolic link: a link inside the tree is removed as a link and its target
// survives. It does NOT guarantee an unpredictable name (the lowest free "tmp<hex>.TMP" is
// taken), nor that removal succeeds: the destructor cannot report a failure.
//
// The only part of the library that throws. It throws the NCcl classes below, by value:
//
//   common::sdk::ScopedTempDir dir;
//   try {
//       dir.Create();
//   } catch (const NCcl::CErrFailToCreateTmpFolder&) { ... }  // nothing is held
//
// One object is used by one thread at a time; different objects are independent.

#include <cstdint>

#include "util/base/path.h"
#include "util/util_export.h"

namespace NCcl {

// The common base to catch; never raised itself.
class UTIL_EXPORT CError {};

// A platform call failed. The code is the platform's error number in its Windows form on every
// system, e.g. 3 ("path not found") when the directory to list is gone.
class UTIL_EXPORT CErrWin32 : public CError {
  public:
    explicit CErrWin32(uint32_t code) : code_(code) {}
    uint32_t GetErrorCode() const { return code_; }

  private:
    uint32_t code_;
};

// A path that must be a folder names something else.
class UTIL_EXPORT CErrNotFolder : public CError {};

// ScopedTempDir::Create failed, for whatever reason; the reason is not passed on.
class UTIL_EXPORT CErrFailToCreateTmpFolder : public CError {};

}  // namespace NCcl

namespace common {
namespace sdk {

class UTIL_EXPORT ScopedTempDir {
  public:
    // The longest path held, terminator included (the Windows path limit, on every system).
    static constexpr int kMaxPath = 260;

    // Holds no directory.
    ScopedTempDir();
    // Deletes as Delete() does, but never lets an error out: a directory that cannot be
    // removed is left behind silently.
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    // Deletes a directory already held (which may throw NCcl::CErrWin32, leaving it held),
    // then creates "tmp<hex>.TMP" under the temporary folder, with the lowest free number from
    // 1 to 0xFFFE, creating the temporary folder and its parents first where missing.
    // Answers true; any failure of the creation throws NCcl::CErrFailToCreateTmpFolder and
    // leaves nothing held:
    //   TMPDIR=/work/t  (missing)     -> creates /work/t, holds "/work/t/tmp1.TMP"
    //   tmp1.TMP exists (anything)    -> holds ".../tmp2.TMP"
    //   TMPDIR names a file           -> throws CErrFailToCreateTmpFolder
    bool Create();

    // true when a directory is held, and then stores its path in *path (when path is not
    // null); false leaves *path untouched.
    bool GetPath(CPath* path) const;

    // Removes the held directory and everything in it; nothing held is a no-op. Entries that
    // cannot be removed do not stop it: a second, forceful pass follows and its outcome is not
    // reported. Throws NCcl::CErrWin32 when a folder of the tree cannot be listed, e.g. with
    // code 3 when someone else has already removed the directory; the path then stays held,
    // so a later Delete() tries again.
    void Delete();

  private:
    char16_t path_[kMaxPath];  // empty when no directory is held
};

}  // namespace sdk
}  // namespace common

#endif  // UTIL_FILES_SCOPED_TEMP_DIR_H
