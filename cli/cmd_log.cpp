// tessmar-util log: writes lines and download records to the log, and shows a log as UTF-8.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "cli/command.h"
#include "util/files/file_access.h"
#include "util/logging/logging.h"

namespace {

// Decodes the bytes of a log (UTF-16LE, with or without byte-order mark) to UTF-8 with LF line
// ends. A dangling odd byte at the end becomes U+FFFD, like any other broken unit.
std::string DecodeLog(const std::string& bytes) {
    size_t start = (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                    static_cast<unsigned char>(bytes[1]) == 0xFE)
                       ? 2
                       : 0;
    std::u16string units;
    units.reserve(bytes.size() / 2 + 1);
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        auto low = static_cast<unsigned char>(bytes[i]);
        auto high = static_cast<unsigned char>(bytes[i + 1]);
        char16_t unit = static_cast<char16_t>(low | (high << 8));
        if (unit == u'\n' && !units.empty() && units.back() == u'\r') units.pop_back();
        units += unit;
    }
    if ((bytes.size() - start) % 2 != 0) units += char16_t(0xFFFD);
    return cli::Utf8(CString(units));
}

// What a file looked like: whether it was there, its size and when it was last written.
struct FileState {
    bool regular = false;
    uintmax_t size = 0;
    std::filesystem::file_time_type written{};
    bool operator==(const FileState& other) const {
        return regular == other.regular && size == other.size && written == other.written;
    }
};

FileState StateOf(const std::filesystem::path& path) {
    std::error_code ec;
    FileState state;
    // A link is not the log's file: the log never opens through one.
    state.regular = std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec));
    if (state.regular) {
        // The size from an open handle: a folder's entry may lag behind a file being written.
        uint32_t size = 0;
        CFileAccess().FA_GetFileSize(cli::Wide(path.string()), &size);
        state.size = size;
        state.written = std::filesystem::last_write_time(path, ec);
    }
    return state;
}

// True when the open log is DIR/Tessmar.log: a regular file there that refuses a writer, as the
// open log does, and that opening the log changed (`before` is how it was), since the log
// writes its first line as it opens. The change tells our log from a file another program holds
// open, which refuses a writer too.
bool LogIsIn(const std::string& dir, const FileState& before) {
    const std::filesystem::path path = std::filesystem::path(dir) / "Tessmar.log";
    const FileState now = StateOf(path);
    if (!now.regular || now == before) return false;
    CFileAccess files;
    FileHandle writer = files.FA_OpenDevice(cli::Wide(path.string()), 0);
    if (!writer) return true;
    files.FA_CloseFile(writer);
    return false;
}

// Opens the log as a host would; reports where it went when the folder could not take it.
bool OpenLog(const std::string& dir, bool append) {
    const FileState before = StateOf(std::filesystem::path(dir) / "Tessmar.log");
    Logging::Init(cli::Wide(dir), append);
    if (!Logging::IsInitialized()) {
        std::cerr << "tessmar-util: the log could be opened neither in " << dir
                  << " nor in the temporary folder\n";
        return false;
    }
    if (!LogIsIn(dir, before))
        std::cerr << "tessmar-util: " << dir
                  << " cannot take the log; it is in the temporary folder\n";
    return true;
}

// The whole file; false when it cannot be read (missing, a folder, no permission, a FIFO or
// device, which are refused at once rather than waited for or read without end).
bool ReadBytes(const std::string& path, std::string* bytes) {
    CFileAccess files;
    FileHandle file = files.FA_OpenFile(cli::Wide(path), FM_Read);
    if (!file) return false;
    bool ok = true;
    try {
        char chunk[65536];
        for (uint32_t got = 0;
             (ok = files.FA_ReadFile(file, chunk, sizeof chunk, &got) != 0) && got;)
            bytes->append(chunk, got);
    } catch (const std::exception&) {
        ok = false;
    }
    files.FA_CloseFile(file);
    return ok;
}

int RunShow(cli::ArgReader& reader) {
    std::string file = reader.Next("FILE");
    reader.Done();
    std::string bytes;
    if (!ReadBytes(file, &bytes)) {
        std::cerr << "tessmar-util: cannot read " << file << "\n";
        return cli::kExitFailure;
    }
    std::cout << DecodeLog(bytes);
    return cli::kExitOk;
}

int RunDownload(cli::ArgReader& reader) {
    std::optional<std::string> dir = reader.Option("--dir");
    std::optional<std::string> device = reader.Option("--device");
    std::optional<std::string> port = reader.Option("--port");
    std::optional<std::string> text = reader.Option("--text");
    std::optional<std::string> sys = reader.Option("--sys");
    bool append = reader.Flag("--append");
    std::vector<std::string> lines = reader.Rest();
    if (!dir) throw cli::UsageError("--dir is required");
    if (!OpenLog(*dir, append)) return cli::kExitFailure;
    auto wide = [](const std::optional<std::string>& v) { return v ? cli::Wide(*v) : CString(); };
    CString wDevice = wide(device), wPort = wide(port), wText = wide(text), wSys = wide(sys);
    Logging::StartDownload(device ? wDevice.GetString() : nullptr,
                           port ? wPort.GetString() : nullptr, text ? wText.GetString() : nullptr,
                           sys ? wSys.GetString() : nullptr);
    for (const auto& line : lines) Logging::WriteV(u"%s", cli::Wide(line).GetString());
    Logging::EndDownload();
    Logging::Term();
    return cli::kExitOk;
}

int RunLog(const cli::Args& args) {
    cli::ArgReader reader(args);
    if (!args.empty() && args.front() == "show") {
        reader.Next("show");
        return RunShow(reader);
    }
    if (!args.empty() && args.front() == "download") {
        reader.Next("download");
        return RunDownload(reader);
    }
    std::optional<std::string> dir = reader.Option("--dir");
    bool append = reader.Flag("--append");
    bool debug = reader.Flag("--debug");
    std::vector<std::string> lines = reader.Rest();
    if (!dir) throw cli::UsageError("--dir is required");
    if (lines.empty()) throw cli::UsageError("missing TEXT");
    if (!OpenLog(*dir, append)) return cli::kExitFailure;
    Logging::DebugLogEnabled(debug);
    for (const auto& line : lines) {
        CString text = cli::Wide(line);
        if (debug)
            Logging::Debug(u"%s", text.GetString());
        else
            Logging::WriteV(u"%s", text.GetString());
    }
    Logging::Term();
    return cli::kExitOk;
}

void DemoOpenLog(cli::DemoContext& context) {
    Logging::Init(cli::Wide(context.workDir), false);
    if (!Logging::IsInitialized()) throw std::runtime_error("the log could not be opened");
    Logging::StartDownload(u"TM-4200", u"192.168.10.20", u"firmware tm4200_v3.1.bin",
                           u"tessmar-lab-7");
    std::cout << "   log opened in   " << context.workDir << "\n"
              << "   download record started for TM-4200 on 192.168.10.20\n";
}

void DemoShowLog(cli::DemoContext& context) {
    Logging::WriteV(u"Download of %s finished, %d bytes sent", u"tm4200_v3.1.bin", 1048576);
    Logging::EndDownload();
    Logging::Term();
    const std::string path = (std::filesystem::path(context.workDir) / "Tessmar.log").string();
    std::string bytes;
    if (!ReadBytes(path, &bytes)) throw std::runtime_error("cannot read " + path);
    std::string text = DecodeLog(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::cout << "   | " << text.substr(start, end - start) << "\n";
        start = end + 1;
    }
}

}  // namespace

CLI_COMMAND("log",
            "log --dir DIR [--append] [--debug] TEXT...\n"
            "log download --dir DIR [--append] [--device T] [--port P] [--text X] [--sys S] "
            "[TEXT...]\n"
            "log show FILE",
            "write lines or a download record to Tessmar.log; show a log as UTF-8", RunLog);
CLI_DEMO_STEP(10, "Open the log and start a download record", DemoOpenLog);
CLI_DEMO_STEP(90, "End the download record and show the log", DemoShowLog);
