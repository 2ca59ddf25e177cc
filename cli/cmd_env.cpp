// tessmar-util paths / env: the selected UI language with the resource paths built on it, and
// what the environment queries answer for this program.

#include <iomanip>
#include <iostream>
#include <string>

#include "cli/command.h"
#include "cli/json_output.h"
#include "util/environment/environment.h"
#include "util/environment/path_service.h"
#include "util/platform/path.h"

namespace {

using common::sdk::PathService;
using common::sdk::PathType;

struct NamedPath {
    PathType type;
    const char* name;
};

constexpr NamedPath kPaths[] = {
    {common::sdk::PATH_LOCALE_DIR, "PATH_LOCALE_DIR"},
    {common::sdk::PATH_RESOURCE_DLL, "PATH_RESOURCE_DLL"},
    {common::sdk::PATH_HELP_FILE, "PATH_HELP_FILE"},
    {common::sdk::PATH_LICENSE_FILE, "PATH_LICENSE_FILE"},
    {common::sdk::PATH_EXE_DAWNQUILL_FILE, "PATH_EXE_DAWNQUILL_FILE"},
    {common::sdk::PATH_LOCALE_DAWNQUILL_FILE, "PATH_LOCALE_DAWNQUILL_FILE"},
};

// The separator the library writes between the elements of a path.
constexpr char kSeparator = static_cast<char>(util_platform::kPathSeparator);

std::string StoredPath(PathType type) {
    CPath path;
    PathService::GetInstance().Get(type, &path);
    return cli::Utf8(path);
}

// The selected language is the last element of the locale folder.
std::string SelectedLanguage() {
    std::string folder = StoredPath(common::sdk::PATH_LOCALE_DIR);
    size_t slash = folder.find_last_of(kSeparator);
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

// The path with the install folder written as "<install>", so that the demo's output reads the
// same wherever the program lies.
std::string Shorten(const std::string& path, const std::string& installDir) {
    if (!installDir.empty() && path.rfind(installDir + kSeparator, 0) == 0)
        return "<install>" + path.substr(installDir.size());
    return path;
}

void PrintPaths(const std::string& indent, const std::string& installDir) {
    for (const NamedPath& entry : kPaths)
        std::cout << indent << std::left << std::setw(28) << entry.name
                  << Shorten(StoredPath(entry.type), installDir) << "\n";
}

int RunPaths(const cli::Args& args) {
    cli::ArgReader reader(args);
    std::string forced = reader.Option("--lang").value_or("");
    const bool json = reader.Flag("--json");
    reader.Done();
    if (!PathService::GetInstance().Init(cli::Wide(forced))) {
        std::cerr << "tessmar-util: no UI language could be selected (\"DefaultLanguage\" in "
                     "section \"Common\" of Tessmar.ini beside the program is missing, or no "
                     "locales folder matches)\n";
        return cli::kExitFailure;
    }
    if (json) {
        cli::Json paths = cli::Json::object();
        for (const NamedPath& entry : kPaths) paths[entry.name] = StoredPath(entry.type);
        cli::PrintJson({{"language", SelectedLanguage()}, {"paths", paths}});
        return cli::kExitOk;
    }
    std::cout << std::left << std::setw(28) << "language" << SelectedLanguage() << "\n";
    PrintPaths("", "");
    return cli::kExitOk;
}

int RunEnv(const cli::Args& args) {
    cli::ArgReader reader(args);
    const bool json = reader.Flag("--json");
    reader.Done();
    namespace env = common::sdk::environment;
    CPath exe, folder, locales, ini;
    env::GetExeFilePath(&exe);
    env::GetExeFolderPath(&folder);
    env::GetLocalesFolderPath(&locales);
    env::GetTessmarIniPath(&ini);
    if (json) {
        cli::PrintJson({{"usb_support", env::ENV_IsUSupportUSB() != 0},
                        {"ipv6_support", env::ENV_IsUSupportIPv6() != 0},
                        {"executable", cli::Utf8(exe)},
                        {"executable_folder", cli::Utf8(folder)},
                        {"locales_folder", cli::Utf8(locales)},
                        {"settings_file", cli::Utf8(ini)}});
        return cli::kExitOk;
    }
    std::cout << std::left << std::setw(20) << "USB support" << env::ENV_IsUSupportUSB() << "\n"
              << std::setw(20) << "IPv6 support" << env::ENV_IsUSupportIPv6() << "\n"
              << std::setw(20) << "executable" << cli::Utf8(exe) << "\n"
              << std::setw(20) << "executable folder" << cli::Utf8(folder) << "\n"
              << std::setw(20) << "locales folder" << cli::Utf8(locales) << "\n"
              << std::setw(20) << "settings file" << cli::Utf8(ini) << "\n";
    return cli::kExitOk;
}

// Forced languages keep the step's output the same on every machine; the automatic choice
// would follow the user's own language settings.
void DemoPaths(cli::DemoContext& context) {
    PathService& service = PathService::GetInstance();
    bool fallback = service.Init(u"fr-FR");
    std::cout << "   forced fr-FR (no folder)  -> "
              << (fallback ? SelectedLanguage() + " (the default language)" : "failed") << "\n";
    if (!service.Init(u"ja")) throw std::runtime_error("no UI language could be selected");
    std::cout << "   forced ja                 -> " << SelectedLanguage() << "\n";
    PrintPaths("   ", context.installDir);
}

}  // namespace

CLI_COMMAND("paths", "paths [--lang LANGUAGE] [--json]   (automatic choice when no --lang)",
            "select the UI language and show the resource paths", RunPaths);
CLI_COMMAND("env", "env [--json]", "show USB and IPv6 support and the program's own paths", RunEnv);
CLI_DEMO_STEP(20, "UI language and resource paths", DemoPaths);
