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

// The file type and mode bits, and the owner, of what is at `path` itself; {0, 0} for nothing.
std::pair<mode_t, uid_t> ModeAndOwner(const fs::path& path) {
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0 ? std::make_pair(st.st_mode, st.st_uid)
                                           : std::make_pair(mode_t{0}, uid_t{0});
}

// TMPDIR unset, and the private folders made inside a scratch folder that, like /tmp, every
// user may write (sticky).
struct PrivateTempFolderTest : ::testing::Test {
    void SetUp() override {
        ASSERT_EQ(::chmod(scratch_.path().c_str(), 01777), 0);
        util_platform::SetPrivateTempParentForTesting(scratch_.path().string());
    }
    void TearDown() override { Logging::Term(), util_platform::SetPrivateTempParentForTesting(""); }
    fs::path Private(uid_t uid = ::geteuid()) const {
        return scratch_.path() / ("tessmar-" + std::to_string(uid));
    }

    ScratchDir scratch_;
    ScopedEnvVar tmpdir_{"TMPDIR", std::nullopt};
};

TEST_F(PrivateTempFolderTest, OnlyARealFolderOfOursWithoutOthersBitsIsUsed) {
    // Rows: what is at the private folder's name beforehand, and whether it is used. What is
    // made there: nothing ('-'), a folder with `mode` and `owner` ('d'), a link to a private
    // folder of ours ('l'), a dangling link ('x') or a file ('f').
    const std::tuple<const char*, char, mode_t, uid_t, bool> cases[] = {
        {"missing: created", '-', 0, 0, true},
        {"ours, 0700", 'd', 0700, ::geteuid(), true},
        {"ours, 0701", 'd', 0701, ::geteuid(), false},
        {"ours, 0770", 'd', 0770, ::geteuid(), false},
        {"another user's, 0700", 'd', 0700, kOtherUser, false},
        {"a link to a private folder of ours", 'l', 0, 0, false},
        {"a dangling link", 'x', 0, 0, false},
        {"a file", 'f', 0, 0, false},
    };
    for (const auto& [name, made, mode, owner, usable] : cases) {
        SCOPED_TRACE(name);
        const std::string f = Private(), target = f + (made == 'l' ? "-target" : "-absent");
        fs::remove_all(f);
        fs::remove_all(f + "-target");
        if (made == 'd') {
            ::mkdir(f.c_str(), 0700);
            ::chmod(f.c_str(), mode);
            (void)::chown(f.c_str(), owner, -1);
        }
        if (made == 'l') ::mkdir(target.c_str(), 0700);
        if (made == 'l' || made == 'x') ::symlink(target.c_str(), f.c_str());
        if (made == 'f') ::close(::open(f.c_str(), O_CREAT | O_WRONLY, 0600));
        const auto before = ModeAndOwner(f);  // what is not used is left as it was found
        EXPECT_EQ(CString(util_platform::TempFolder()).ToUtf8(), usable ? f + "/" : "");
        EXPECT_EQ(ModeAndOwner(f), usable ? std::make_pair(S_IFDIR | 0700u, ::geteuid()) : before);
        if (usable) continue;
        // What needs a temporary folder fails cleanly, and puts nothing anywhere.
        common::sdk::ScopedTempDir dir;
        EXPECT_THROW(dir.Create(), NCcl::CErrFailToCreateTmpFolder);
        Logging::Init(scratch_.Wide("missing/dir"), false);
        EXPECT_FALSE(Logging::IsInitialized());
        EXPECT_FALSE(fs::exists(f + "-absent"));
    }
    // A folder that cannot be made (its parent is missing) is no folder either; TMPDIR, when
    // set, is the user's own choice and answered as it is.
    util_platform::SetPrivateTempParentForTesting((scratch_.path() / "missing").string());
    EXPECT_EQ(util_platform::TempFolder(), u"");
    for (const std::string value : {"", "/var/scratch", "/var/scratch/"}) {
        ScopedEnvVar env("TMPDIR", value);
        EXPECT_EQ(util_platform::TempFolder(), value.empty() ? u"" : u"/var/scratch/") << value;
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
    ASSERT_EQ(ModeAndOwner(mine), std::make_pair(S_IFREG | 0600u, ::geteuid())) << mine;

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
        const auto theirs = ModeAndOwner(Private(kOtherUser) / "Tessmar.log");
        if (theirs != std::make_pair(S_IFREG | 0600u, kOtherUser)) failed |= 4;
        ::_exit(failed);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // Exit bits: 1 the first log was readable, 2 the second Init failed, 4 the second log is not
    // private; 64: setuid failed.
    EXPECT_EQ(status, 0) << "exit " << WEXITSTATUS(status);
    Logging::Write(u"still mine", false);
    Logging::Term();
    const std::string log = ReadFileBytes(mine);
    EXPECT_EQ(log.find(std::string("s\0e\0c\0o\0n\0d\0", 12)), std::string::npos);
    EXPECT_NE(log.find(std::string("s\0t\0i\0l\0l\0", 10)), std::string::npos);
}

// Another user plants a "Tessmar.log" that everyone may read and write in a temporary folder
// the users share (TMPDIR): the fallback log refuses it, fresh or appended, rather than write
// into a file that the planter can read; the planted file stays as it was.
TEST_F(PrivateTempFolderTest, AFallbackLogPlantedByAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "planting a file as another user needs root";
    ScopedEnvVar shared("TMPDIR", scratch_.path().string());
    const fs::path planted = scratch_.path() / "Tessmar.log";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) ::_exit(64);
        const int fd = ::open(planted.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0666);
        ::_exit(fd >= 0 && ::fchmod(fd, 0666) == 0 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    for (bool append : {true, false}) {
        Logging::Init(scratch_.Wide("missing/dir"), append);
        EXPECT_FALSE(Logging::IsInitialized()) << "append " << append;
        Logging::Write(u"secret", false);
        Logging::Term();
    }
    EXPECT_EQ(ReadFileBytes(planted), "");
    // A fallback log of one's own in that folder is used as before.
    ASSERT_EQ(::unlink(planted.c_str()), 0);
    Logging::Init(scratch_.Wide("missing/dir"), true);
    EXPECT_TRUE(Logging::IsInitialized());
    Logging::Term();
    Logging::Init(scratch_.Wide("missing/dir"), true);
    EXPECT_TRUE(Logging::IsInitialized());
    EXPECT_EQ(ModeAndOwner(planted), std::make_pair(S_IFREG | 0600u, ::geteuid()));
}

// A symbolic link planted at a name the library creates, truncates or appends to is refused,
// and the file it points to is never written.
TEST(PlantedLinks, AreNeverWrittenThrough) {
    CFileAccess files;
    namespace fu = common::sdk::file_util;
    using D = const ScratchDir&;
    // Whether the log opened, and what is then at `made` (if given) is of the type `type`.
    const auto log = [](D d, const char* folder, bool append, const char* made = nullptr,
                        fs::file_type type = fs::file_type::regular) {
        Logging::Init(d.Wide(folder), append);
        return Logging::IsInitialized() &&
               (!made || fs::symlink_status(d.path() / made).type() == type);
    };
    // Rows: what is done, where the link is planted, and whether the link was refused.
    const std::tuple<const char*, const char*, std::function<bool(D dir)>> cases[] = {
        {"log fallback, fresh", "tmp/Tessmar.log", [&](D d) { return !log(d, "missing", false); }},
        {"log fallback, append", "tmp/Tessmar.log", [&](D d) { return !log(d, "missing", true); }},
        {"log in the given folder, append (goes to the temporary folder instead)",
         "logs/Tessmar.log", [&](D d) { return log(d, "logs", true, "tmp/Tessmar.log"); }},
        {"log in the given folder, fresh (rotated away)", "logs/Tessmar.log",
         [&](D d) { return log(d, "logs", false, "logs/Tessmar.bak", fs::file_type::symlink); }},
        {"stamped copy", "out.bin",
         [&files](D d) {
             const fs::path source = d.WriteFile("source.bin", "0123456789AB");
             return !files.FA_FileAddJobClientID(d.Wide("source.bin"), d.Wide("out.bin"), u"A1") &&
                    ReadFileBytes(source) == "0123456789AB";
         }},
        {"FA_OpenFile FM_Create", "f.bin",
         [&](D d) { return !files.FA_OpenFile(d.Wide("f.bin"), FM_Create) && errno == ELOOP; }},
        {"FA_OpenFile FM_Append", "f.bin",
         [&](D d) { return !files.FA_OpenFile(d.Wide("f.bin"), FM_Append) && errno == ELOOP; }},
        {"text file, w", "t.txt",
         [](D d) { return !fu::OpenTextFile(d.Wide("t.txt"), u"w", fu::kUtf8); }},
        {"text file, a+", "t.txt",
         [](D d) { return !fu::OpenTextFile(d.Wide("t.txt"), u"a+", fu::kAnsi); }},
    };
    for (const bool dangling : {false, true}) {
        for (const auto& [name, link, refused] : cases) {
            SCOPED_TRACE(std::string(name) + (dangling ? ", dangling link" : ""));
            ScratchDir dir;
            for (const char* sub : {"tmp", "logs"}) fs::create_directories(dir.path() / sub);
            ScopedEnvVar tmpdir("TMPDIR", (dir.path() / "tmp").string());
            const fs::path victim = dir.path() / "victim.txt";
            if (!dangling) dir.WriteFile("victim.txt", "victim");
            fs::create_symlink(victim, dir.path() / link);
            EXPECT_TRUE(refused(dir));
            Logging::Term();
            // Still absent behind a dangling link, unchanged otherwise.
            EXPECT_EQ(fs::exists(fs::symlink_status(victim)) ? ReadFileBytes(victim) : "(absent)",
                      dangling ? "(absent)" : "victim");
        }
    }
}

}  // namespace
