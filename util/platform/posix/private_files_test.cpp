// Files of ours on a machine that other users share: the private temporary folder, the log's
// private fallback, and names at which a planted symbolic link must not redirect a write.
// POSIX only: on Windows the user's temporary folder is private by itself.

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "util/files/file_access.h"
#include "util/files/file_util.h"
#include "util/files/scoped_temp_dir.h"
#include "util/logging/logging.h"
#include "util/platform/posix/private_temp_parent.h"
#include "util/platform/temp_folder.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using util_testing::ReadFileBytes;
using util_testing::ScopedEnvVar;
using util_testing::ScratchDir;

constexpr uid_t kOtherUser = 65534;  // "nobody"

struct stat StatOf(const fs::path& path) {
    struct stat st = {};
    if (::lstat(path.c_str(), &st) != 0) st.st_mode = 0;
    return st;
}

// TMPDIR unset, and the private folders made inside a scratch folder that, like /tmp, every
// user may write (sticky).
class PrivateTempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::chmod(scratch_.path().c_str(), 01777), 0);
        util_platform::SetPrivateTempParentForTesting(scratch_.path().string());
    }
    void TearDown() override {
        Logging::Term();
        util_platform::SetPrivateTempParentForTesting("");
    }
    fs::path Private(uid_t uid = ::geteuid()) const {
        return scratch_.path() / ("tessmar-" + std::to_string(uid));
    }

    ScratchDir scratch_;
    ScopedEnvVar tmpdir_{"TMPDIR", std::nullopt};
};

TEST_F(PrivateTempFolderTest, OnlyARealFolderOfOursWithoutOthersBitsIsUsed) {
    using Prepare = std::function<void(const fs::path& folder)>;
    const auto folder = [](mode_t mode, uid_t owner = ::geteuid()) -> Prepare {
        return [=](const fs::path& f) {
            ::mkdir(f.c_str(), 0700), ::chmod(f.c_str(), mode), (void)::chown(f.c_str(), owner, -1);
        };
    };
    const struct {
        const char* name;
        Prepare prepare;
        bool usable;
    } cases[] = {
        {"missing: created", [](const fs::path&) {}, true},
        {"ours, 0700", folder(0700), true},
        {"ours, 0701", folder(0701), false},
        {"ours, 0770", folder(0770), false},
        {"another user's, 0700", folder(0700, kOtherUser), false},
        {"a link to a private folder of ours",
         [](const fs::path& f) {
             const fs::path target = f.string() + "-target";
             ::mkdir(target.c_str(), 0700), ::symlink(target.c_str(), f.c_str());
         },
         false},
        {"a dangling link",
         [](const fs::path& f) { ::symlink((f.string() + "-absent").c_str(), f.c_str()); }, false},
        {"a file", [](const fs::path& f) { ::close(::open(f.c_str(), O_CREAT | O_WRONLY, 0600)); },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Private());
        c.prepare(Private());
        const struct stat before = StatOf(Private());
        const std::u16string answer = util_platform::TempFolder();
        if (c.usable) {
            EXPECT_EQ(answer, CString::FromUtf8(Private().string() + "/").View());
            const struct stat st = StatOf(Private());
            EXPECT_TRUE(S_ISDIR(st.st_mode));
            EXPECT_EQ(st.st_mode & 07777, 0700u);
            EXPECT_EQ(st.st_uid, ::geteuid());
        } else {
            EXPECT_EQ(answer, u"");
            // What needs a temporary folder fails cleanly, and puts nothing anywhere.
            common::sdk::ScopedTempDir dir;
            EXPECT_THROW(dir.Create(), NCcl::CErrFailToCreateTmpFolder);
            Logging::Init(scratch_.Wide("missing/dir"), false);
            EXPECT_FALSE(Logging::IsInitialized());
            const struct stat after = StatOf(Private());  // left as it was found
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_uid, before.st_uid);
            EXPECT_FALSE(fs::exists(Private().string() + "-absent"));
        }
        fs::remove_all(Private().string() + "-target");
    }
    // A folder that cannot be made (its parent is missing) is no folder either; TMPDIR, when
    // set, is the user's own choice and answered as it is.
    util_platform::SetPrivateTempParentForTesting((scratch_.path() / "missing").string());
    EXPECT_EQ(util_platform::TempFolder(), u"");
    for (const auto& [value, expected] : {std::pair<const char*, std::u16string>{"", u""},
                                          {"/var/scratch", u"/var/scratch/"},
                                          {"/var/scratch/", u"/var/scratch/"}}) {
        ScopedEnvVar env("TMPDIR", value);
        EXPECT_EQ(util_platform::TempFolder(), expected) << value;
    }
}

// Two users run the tool with a log folder that cannot take the log: each gets a fallback log
// of their own, private to them, and neither can read the other's.
TEST_F(PrivateTempFolderTest, EachUsersFallbackLogIsPrivate) {
    const CString missing = scratch_.Wide("missing/dir");
    Logging::Init(missing, false);
    ASSERT_TRUE(Logging::IsInitialized());
    Logging::Write(u"first user", false);
    const fs::path mine = Private() / "Tessmar.log";
    ASSERT_TRUE(S_ISREG(StatOf(mine).st_mode)) << mine;
    EXPECT_EQ(StatOf(mine).st_mode & 07777, 0600u);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Logging::Term();  // closes the child's copy only
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) ::_exit(64);
        int failed = 0;
        if (::open(mine.c_str(), O_RDONLY) >= 0 || errno != EACCES) failed |= 1;
        Logging::Init(missing, false);
        if (!Logging::IsInitialized()) failed |= 2;
        Logging::Write(u"second user", false);
        Logging::Term();
        const struct stat theirs = StatOf(Private(kOtherUser) / "Tessmar.log");
        if (!S_ISREG(theirs.st_mode) || (theirs.st_mode & 07777) != 0600 ||
            theirs.st_uid != kOtherUser)
            failed |= 4;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the first log was readable, 2: the second Init "
                                         "failed, 4: the second log is not private (64: setuid)";
    Logging::Write(u"still mine", false);
    Logging::Term();
    const std::string log = ReadFileBytes(mine);
    EXPECT_EQ(log.find(std::string("s\0e\0c\0o\0n\0d\0", 12)), std::string::npos);
    EXPECT_NE(log.find(std::string("s\0t\0i\0l\0l\0", 10)), std::string::npos);
}

// A symbolic link planted at a name the library creates, truncates or appends to is refused,
// and the file it points to is never written.
TEST(PlantedLinks, AreNeverWrittenThrough) {
    CFileAccess files;
    using common::sdk::file_util::OpenTextFile;
    using D = const ScratchDir&;
    const auto log = [](D d, const char* folder, bool append) {
        Logging::Init(d.Wide(folder), append);
        return Logging::IsInitialized();
    };
    const auto openFile = [&files](FileMode mode) {
        return [&files, mode](D d) {
            return !files.FA_OpenFile(d.Wide("f.bin"), mode) && errno == ELOOP;
        };
    };
    const struct {
        const char* name;
        const char* link;  // where the link is planted
        std::function<bool(D dir)> refused;
    } cases[] = {
        {"log fallback, fresh", "tmp/Tessmar.log", [&](D d) { return !log(d, "missing", false); }},
        {"log fallback, append", "tmp/Tessmar.log", [&](D d) { return !log(d, "missing", true); }},
        {"log in the given folder, append (goes to the temporary folder instead)",
         "logs/Tessmar.log",
         [&](D d) {
             return log(d, "logs", true) && fs::is_regular_file(d.path() / "tmp/Tessmar.log");
         }},
        {"log in the given folder, fresh (rotated away)", "logs/Tessmar.log",
         [&](D d) {
             return log(d, "logs", false) && fs::is_symlink(d.path() / "logs/Tessmar.bak");
         }},
        {"stamped copy", "out.bin",
         [&files](D d) {
             d.WriteFile("source.bin", "0123456789AB");
             return files.FA_FileAddJobClientID(d.Wide("source.bin"), d.Wide("out.bin"), u"A1") ==
                        0 &&
                    ReadFileBytes(d.path() / "source.bin") == "0123456789AB";
         }},
        {"FA_OpenFile FM_Create", "f.bin", openFile(FM_Create)},
        {"FA_OpenFile FM_Append", "f.bin", openFile(FM_Append)},
        {"text file, w", "t.txt",
         [](D d) { return !OpenTextFile(d.Wide("t.txt"), u"w", common::sdk::file_util::kUtf8); }},
        {"text file, a+", "t.txt",
         [](D d) { return !OpenTextFile(d.Wide("t.txt"), u"a+", common::sdk::file_util::kAnsi); }},
    };
    for (const bool dangling : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (dangling ? ", dangling link" : ""));
            ScratchDir dir;
            fs::create_directories(dir.path() / "tmp");
            fs::create_directories(dir.path() / "logs");
            ScopedEnvVar tmpdir("TMPDIR", (dir.path() / "tmp").string());
            const fs::path victim = dir.path() / "victim.txt";
            if (!dangling) dir.WriteFile("victim.txt", "victim");
            fs::create_symlink(victim, dir.path() / c.link);
            EXPECT_TRUE(c.refused(dir));
            Logging::Term();
            if (dangling)
                EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
            else
                EXPECT_EQ(ReadFileBytes(victim), "victim");
        }
    }
}

}  // namespace
