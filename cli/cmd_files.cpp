// tessmar-util stamp | desc | size: the firmware file operations of CFileAccess.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "cli/command.h"
#include "cli/json_output.h"
#include "util/files/file_access.h"

namespace {

const char* ResultName(MakeDLFileRes result) {
    switch (result) {
        case MDL_OpenFailed:
            return "the file cannot be opened";
        case MDL_InvalidData:
            return "the file holds no valid description block";
        case MDL_Success:
            return "ok";
    }
    return "unknown result";
}

uint32_t ParseOffset(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        throw cli::UsageError("--offset needs a decimal number, not '" + text + "'");
    unsigned long long value = std::stoull(text);
    if (value > UINT32_MAX) throw cli::UsageError("--offset is larger than 4294967295");
    return static_cast<uint32_t>(value);
}

int RunStamp(const cli::Args& args) {
    cli::ArgReader reader(args);
    std::string source = reader.Next("SRC");
    std::string destination = reader.Next("DST");
    std::string id = reader.Next("ID");
    reader.Done();
    CFileAccess files;
    if (!files.FA_FileAddJobClientID(cli::Wide(source), cli::Wide(destination), cli::Wide(id))) {
        std::cerr << "tessmar-util: cannot stamp " << source << " into " << destination << "\n";
        return cli::kExitFailure;
    }
    return cli::kExitOk;
}

int RunDesc(const cli::Args& args) {
    cli::ArgReader reader(args);
    std::optional<std::string> offsetText = reader.Option("--offset");
    const bool json = reader.Flag("--json");
    std::string file = reader.Next("FILE");
    reader.Done();
    uint32_t offset = offsetText ? ParseOffset(*offsetText) : 0;
    CString text;
    MakeDLFileRes result = CFileAccess::makeDownloadDescList(cli::Wide(file), offset, text);
    if (result != MDL_Success) {
        std::cerr << "tessmar-util: " << file << ": " << ResultName(result) << " (" << result
                  << ")\n";
        return cli::kExitFailure;
    }
    if (json)
        cli::PrintJson({{"file", file}, {"description", cli::Utf8(text)}});
    else
        std::cout << cli::Utf8(text) << "\n";
    return cli::kExitOk;
}

int RunSize(const cli::Args& args) {
    cli::ArgReader reader(args);
    const bool json = reader.Flag("--json");
    std::string file = reader.Next("FILE");
    reader.Done();
    CFileAccess files;
    uint32_t size = 0;
    if (!files.FA_GetFileSize(cli::Wide(file), &size)) {
        std::cerr << "tessmar-util: cannot measure " << file << "\n";
        return cli::kExitFailure;
    }
    if (json)
        cli::PrintJson({{"file", file}, {"size", size}});
    else
        std::cout << size << "\n";
    return cli::kExitOk;
}

// A small firmware image: a 9-byte head, a description block at offset 140, some payload.
std::string SampleFirmware(const std::string& description) {
    std::string image = "TSMRFW01\n";
    image.resize(140, '\xA5');
    const uint32_t length = static_cast<uint32_t>(description.size() + 1);
    for (int shift = 24; shift >= 0; shift -= 8)
        image.push_back(static_cast<char>((length >> shift) & 0xFF));
    image.append(4, '\0');
    image += description;
    image.push_back('\0');
    for (int i = 0; i < 4096; ++i) image.push_back(static_cast<char>(i * 7));
    return image;
}

void DemoFiles(cli::DemoContext& context) {
    const std::filesystem::path folder(context.workDir);
    const std::filesystem::path firmware = folder / "tessmar-fw.bin";
    const std::filesystem::path stamped = folder / "tessmar-fw.stamped.tmp.bin";
    {
        std::ofstream out(firmware, std::ios::binary);
        out << SampleFirmware("TM-400 controller firmware 4.2.1; boot loader 1.07");
    }
    CFileAccess files;
    uint32_t size = 0;
    files.FA_GetFileSize(cli::Wide(firmware.string()), &size);
    std::cout << "   firmware file   " << firmware.filename().string() << " (" << size
              << " bytes)\n";

    CString description;
    MakeDLFileRes result =
        CFileAccess::makeDownloadDescList(cli::Wide(firmware.string()), 0, description);
    std::cout << "   description     " << (result == MDL_Success ? cli::Utf8(description) : "")
              << " [" << ResultName(result) << "]\n";

    int stampedOk = files.FA_FileAddJobClientID(cli::Wide(firmware.string()),
                                                cli::Wide(stamped.string()), u"JOB-2026-0042");
    uint32_t stampedSize = 0;
    files.FA_GetFileSize(cli::Wide(stamped.string()), &stampedSize);
    std::cout << "   stamped copy    " << stamped.filename().string() << " (" << stampedSize
              << " bytes, " << (stampedOk ? "ok" : "failed") << ", temporary copy: "
              << (CFileAccess::IsTempBinFile(cli::Wide(stamped.string())) ? "yes" : "no") << ")\n";
    std::ifstream in(stamped, std::ios::binary);
    std::string head(32, '\0');
    in.read(head.data(), 32);
    std::string line = head.substr(9, head.find('\r', 9) - 9);
    std::cout << "   inserted line   " << line << " CR LF, after the 9-byte head\n";

    // While the stamped copy is held open for reading, stamping onto it again is refused.
    in.close();
    const uintmax_t before = std::filesystem::file_size(stamped);
    FileHandle held = files.FA_OpenFile(cli::Wide(stamped.string()), FM_Read);
    int again = files.FA_FileAddJobClientID(cli::Wide(firmware.string()),
                                            cli::Wide(stamped.string()), u"OTHER");
    files.FA_CloseFile(held);
    const bool unchanged = std::filesystem::file_size(stamped) == before;
    std::cout << "   stamp again while the copy is open for reading: "
              << (again ? "written" : "refused") << ", copy "
              << (unchanged ? "unchanged" : "changed") << "\n";
}

}  // namespace

CLI_COMMAND("stamp", "stamp SRC DST ID   (copy SRC to DST with the line @JCID=ID after 9 bytes)",
            "copy a firmware file with a job client ID line", RunStamp);
CLI_COMMAND("desc", "desc FILE [--offset N] [--json]   (description block at N, default 140)",
            "print the description block of a firmware file", RunDesc);
CLI_COMMAND("size", "size FILE [--json]", "print the size of a file in bytes", RunSize);
CLI_DEMO_STEP(40, "Firmware files: description block and job client ID stamp", DemoFiles);
