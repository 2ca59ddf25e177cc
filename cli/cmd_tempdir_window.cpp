// tessmar-util tempdir: a scoped temporary directory, made and removed again.
// tessmar-util window: the first visible top-level window whose title begins with a text.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/command.h"
#include "util/common/window_finder.h"
#include "util/files/scoped_temp_dir.h"

namespace {

int RunTempDir(const cli::Args& args) {
    cli::ArgReader reader(args);
    bool keep_open = reader.Flag("--keep-open");
    reader.Done();

    common::sdk::ScopedTempDir dir;
    try {
        dir.Create();
    } catch (const NCcl::CErrFailToCreateTmpFolder&) {
        std::cerr << "tessmar-util: cannot create a temporary directory (check TMPDIR)\n";
        return cli::kExitFailure;
    }
    CPath path;
    dir.GetPath(&path);
    std::cout << cli::Utf8(path) << std::endl;
    if (keep_open) {
        std::cerr << "Press Enter to remove it... " << std::flush;
        std::string line;
        std::getline(std::cin, line);
    }
    try {
        dir.Delete();
    } catch (const NCcl::CErrWin32& error) {
        std::cerr << "tessmar-util: cannot remove " << cli::Utf8(path) << " (error "
                  << error.GetErrorCode() << ")\n";
        return cli::kExitFailure;
    }
    return cli::kExitOk;
}

std::string HandleText(WindowFinder::WindowHandle window) {
    char text[2 + 2 * sizeof(uintptr_t) + 1];
    std::snprintf(text, sizeof text, "0x%jx",
                  static_cast<uintmax_t>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

int RunWindow(const cli::Args& args) {
    cli::ArgReader reader(args);
    std::string prefix = reader.Next("PREFIX");
    reader.Done();
    WindowFinder::WindowHandle window = WindowFinder::FindWindowStartingWith(cli::Wide(prefix));
    if (!window) {
        std::cerr << "tessmar-util: no visible window title begins with \"" << prefix << "\"\n";
        return cli::kExitFailure;
    }
    CString title;
    WindowFinder::GetWindowTitle(window, &title);
    std::cout << HandleText(window) << "  " << cli::Utf8(title) << "\n";
    return cli::kExitOk;
}

void DemoTempDir(cli::DemoContext&) {
    common::sdk::ScopedTempDir dir;
    try {
        dir.Create();
        CPath path;
        dir.GetPath(&path);
        std::filesystem::path folder(cli::Utf8(path));
        std::ofstream(folder / "firmware.tmp.bin", std::ios::binary) << "unpacked firmware";
        std::filesystem::create_directory(folder / "parts");
        std::cout << "   created         " << folder.string() << "\n"
                  << "   holding         firmware.tmp.bin, parts/\n";
        dir.Delete();
        std::cout << "   after Delete    "
                  << (std::filesystem::exists(folder) ? "still there" : "gone") << "\n";
    } catch (const NCcl::CErrFailToCreateTmpFolder&) {
        std::cout << "   cannot create a temporary directory (check TMPDIR)\n";
    } catch (const NCcl::CErrWin32& error) {
        std::cout << "   cannot remove the directory (error " << error.GetErrorCode() << ")\n";
    }
}

void DemoWindow(cli::DemoContext&) {
    const char16_t* prefix = u"Tessmar";
    WindowFinder::WindowHandle window = WindowFinder::FindWindowStartingWith(prefix);
    if (!window) {
        std::cout << "   no visible window whose title begins with \"Tessmar\" was found\n";
        return;
    }
    CString title;
    WindowFinder::GetWindowTitle(window, &title);
    std::cout << "   found           " << HandleText(window) << "  " << cli::Utf8(title) << "\n";
}

}  // namespace

CLI_COMMAND("tempdir",
            "tempdir [--keep-open]   (prints the path; --keep-open waits for Enter before removal)",
            "create a scoped temporary directory, print its path, remove it", RunTempDir);
CLI_COMMAND("window", "window PREFIX",
            "find the first visible window whose title begins with PREFIX", RunWindow);
CLI_DEMO_STEP(60, "A temporary folder that removes itself", DemoTempDir);
CLI_DEMO_STEP(80, "Looking for the Tessmar window", DemoWindow);
