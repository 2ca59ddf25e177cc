// tessmar-util text, encoding, ini: text files in their encodings, and settings files.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/command.h"
#include "cli/json_output.h"
#include "util/files/file_util.h"
#include "util/files/inifile.h"

namespace {

namespace file_util = common::sdk::file_util;

const char* EncodingName(file_util::Encoding encoding) {
    switch (encoding) {
        case file_util::kAnsi:
            return "ANSI (no byte-order mark)";
        case file_util::kUnicode:
            return "Unicode";
        case file_util::kUtf16Le:
            return "UTF-16LE";
        case file_util::kUtf8:
            return "UTF-8";
    }
    return "unknown";
}

int RunText(const cli::Args& args) {
    cli::ArgReader reader(args);
    const bool dos = reader.Flag("--dos");
    const CPath path(cli::Wide(reader.Next("FILE")));
    reader.Done();
    CString text;
    const bool ok = dos ? file_util::ReadFileToStringDosNewline(path, &text)
                        : file_util::ReadFileToString(path, &text);
    std::cout << cli::Utf8(text);
    if (!ok) {
        std::cerr << "tessmar-util: cannot read " << cli::Utf8(path) << "\n";
        return cli::kExitFailure;
    }
    return cli::kExitOk;
}

int RunEncoding(const cli::Args& args) {
    cli::ArgReader reader(args);
    const bool json = reader.Flag("--json");
    const CPath path(cli::Wide(reader.Next("FILE")));
    reader.Done();
    file_util::Encoding encoding = file_util::kAnsi;
    if (!file_util::GetFileEncoding(path, &encoding)) {
        std::cerr << "tessmar-util: cannot read " << cli::Utf8(path) << "\n";
        return cli::kExitFailure;
    }
    if (json)
        cli::PrintJson({{"file", cli::Utf8(path)}, {"encoding", EncodingName(encoding)}});
    else
        std::cout << EncodingName(encoding) << "\n";
    return cli::kExitOk;
}

int RunIni(const cli::Args& args) {
    cli::ArgReader reader(args);
    const bool json = reader.Flag("--json");
    // Made absolute: the Windows profile API looks for a bare name in the Windows folder, while
    // the user means the current one.
    const CString file = cli::Wide(
        std::filesystem::absolute(std::filesystem::u8path(reader.Next("FILE"))).u8string());
    const CString section = cli::Wide(reader.Next("SECTION"));
    const bool oneKey = reader.HasMore();
    const CString key = oneKey ? cli::Wide(reader.Next("KEY")) : CString();
    reader.Done();
    if (oneKey) {
        CString value;
        if (!common::sdk::inifile::GetString(file, section, key, &value)) {
            std::cerr << "tessmar-util: the value does not fit the largest buffer\n";
            return cli::kExitFailure;
        }
        // GetString answers an empty value for a key that is not there; the section's pairs
        // tell an absent key from one set to nothing.
        KeyValueMap pairs;
        common::sdk::inifile::GetKeyValues(file, section, &pairs);
        const bool present = std::any_of(pairs.begin(), pairs.end(), [&key](const auto& pair) {
            return pair.first.CompareNoCase(key) == 0;  // keys match as the profile API does
        });
        if (value.IsEmpty() && !present) {
            std::cerr << "tessmar-util: no key " << cli::Utf8(key) << " in section ["
                      << cli::Utf8(section) << "] of " << cli::Utf8(file) << "\n";
            return cli::kExitFailure;
        }
        if (json)
            cli::PrintJson({{"key", cli::Utf8(key)}, {"value", cli::Utf8(value)}});
        else
            std::cout << cli::Utf8(value) << "\n";
        return cli::kExitOk;
    }
    KeyValueMap values;
    if (!common::sdk::inifile::GetKeyValues(file, section, &values)) {
        std::cerr << "tessmar-util: no entries in section [" << cli::Utf8(section) << "] of "
                  << cli::Utf8(file) << "\n";
        return cli::kExitFailure;
    }
    if (json) {
        cli::Json pairs = cli::Json::object();
        for (const auto& [name, value] : values) pairs[cli::Utf8(name)] = cli::Utf8(value);
        cli::PrintJson(pairs);
        return cli::kExitOk;
    }
    for (const auto& [name, value] : values)
        std::cout << cli::Utf8(name) << "=" << cli::Utf8(value) << "\n";
    return cli::kExitOk;
}

void DemoSettingsAndText(cli::DemoContext& context) {
    const CString ini = cli::Wide(context.installDir + "/Tessmar.ini");
    KeyValueMap values;
    std::cout << "   " << context.installDir << "/Tessmar.ini, section [Common]:\n";
    if (!common::sdk::inifile::GetKeyValues(ini, u"Common", &values))
        std::cout << "      (no entries)\n";
    for (const auto& [name, value] : values)
        std::cout << "      " << cli::Utf8(name) << " = " << cli::Utf8(value) << "\n";
    CString language;
    common::sdk::inifile::GetString(ini, u"common", u"defaultlanguage", &language);
    std::cout << "   GetString(common, defaultlanguage) -> " << cli::Utf8(language) << "\n";

    const CPath notes(cli::Wide(context.workDir + "/notes.txt"));
    const CString note =
        u"Firmware notes\nLanguage: " + language + u"\nDevice: TX-200 \u2013 bench\n";
#if defined(_WIN32)
    // The C runtime's stream: it writes the mark and encodes.
    if (std::FILE* file = file_util::OpenTextFile(notes, u"w", file_util::kUtf16Le)) {
        std::fputws(reinterpret_cast<const wchar_t*>(note.GetString()), file);
        std::fclose(file);
    }
#else
    if (file_util::TextFilePtr file = file_util::OpenTextFile(notes, u"w", file_util::kUtf16Le))
        file->Write(note.View());
#endif
    file_util::Encoding encoding = file_util::kAnsi;
    CString text;
    file_util::GetFileEncoding(notes, &encoding);
    file_util::ReadFileToString(notes, &text);
    std::cout << "   wrote notes.txt through a text stream; it reads back as "
              << EncodingName(encoding) << ":\n";
    for (int start = 0, end; start < text.GetLength(); start = end + 1) {
        end = text.Find(u'\n', start);
        if (end < 0) end = text.GetLength();
        std::cout << "      | " << cli::Utf8(text.Mid(start, end - start)) << "\n";
    }
}

}  // namespace

CLI_COMMAND("text", "text FILE [--dos]   (the decoded text as UTF-8; --dos: CR LF line ends)",
            "read a text file in its encoding", RunText);
CLI_COMMAND("encoding", "encoding FILE [--json]",
            "tell a text file's encoding from its byte-order mark", RunEncoding);
CLI_COMMAND("ini",
            "ini FILE SECTION [--json]       (all pairs of the section)\n"
            "ini FILE SECTION KEY [--json]   (one value)",
            "read a settings (INI) file", RunIni);
CLI_DEMO_STEP(50, "Settings and text files", DemoSettingsAndText);
