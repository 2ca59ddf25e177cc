#ifndef UTIL_ENVIRONMENT_TEST_INSTALL_TREE_H
#define UTIL_ENVIRONMENT_TEST_INSTALL_TREE_H

// Test support for the environment tests: a throw-away install tree (the executable's folder with
// "Tessmar.ini" and "locales"), made the running program's folder through the executable-path
// override, with the OS UI languages fixed through their override; and a capture of the log.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "util/base/utf.h"
#include "util/logging/logging.h"
#include "util/platform/environment.h"
#include "util/platform/ui_language.h"
#include "util/testing/scratch_dir.h"

namespace util_testing {

class InstallTree {
  public:
    // An executable "tool" in a fresh folder; no settings file, no locales folder, and no OS UI
    // language until the test adds them.
    InstallTree() {
        exe_.path = (dir_.path() / "tool").u16string();
        util_platform::SetExecutablePathForTesting(&exe_);
        languages_.preferred.reset();
        languages_.language.reset();
        util_platform::SetUILanguagesForTesting(&languages_);
    }
    ~InstallTree() {
        util_platform::SetExecutablePathForTesting(nullptr);
        util_platform::SetUILanguagesForTesting(nullptr);
    }
    InstallTree(const InstallTree&) = delete;
    InstallTree& operator=(const InstallTree&) = delete;

    std::filesystem::path Folder() const { return dir_.path(); }
    CString Path(const std::string& relative = "") const { return dir_.Wide(relative); }

    void SetDefaultLanguage(const std::string& value) {
        dir_.WriteFile("Tessmar.ini", "[Common]\nDefaultLanguage=" + value + "\n");
    }
    void AddLocaleFolder(const std::string& name) {
        std::filesystem::create_directories(dir_.path() / "locales" / name);
    }
    void AddLocaleFile(const std::string& name) { dir_.WriteFile("locales/" + name, "x"); }
    void SetPreferredLanguages(const std::vector<std::u16string>& names) {
        languages_.preferred = names;
    }
    void SetUserDefault(const std::u16string& language, const std::u16string& region) {
        languages_.language = language;
        languages_.region = region;
    }

  private:
    ScratchDir dir_;
    util_platform::ExecutablePathOverride exe_;
    util_platform::UILanguageOverride languages_;
};

// Opens the log in a scratch folder for the object's lifetime; Text() closes it and answers what
// was written, as UTF-8.
class LogCapture {
  public:
    explicit LogCapture(bool debug = true) {
        Logging::Init(dir_.Wide(), false);
        Logging::DebugLogEnabled(debug);
    }
    ~LogCapture() {
        Logging::Term();
        Logging::DebugLogEnabled(false);
    }
    std::string Text() {
        Logging::Term();
        std::string bytes = ReadFileBytes(dir_.path() / "Tessmar.log");
        std::u16string units;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           static_cast<unsigned char>(bytes[i + 1]) << 8);
        return util_base::Utf16ToUtf8(units);
    }

    // The messages of the stamped lines, each followed by '|' (closes the log, as Text does).
    std::string Messages() {
        const std::string log = Text();
        std::string messages;
        for (size_t at = log.find("] "); at != std::string::npos; at = log.find("] ", at + 1))
            messages += log.substr(at + 2, log.find('\r', at) - at - 2) + "|";
        return messages;
    }

  private:
    ScratchDir dir_;
};

}  // namespace util_testing

#endif  // UTIL_ENVIRONMENT_TEST_INSTALL_TREE_H
