// tessmar-util text, encoding, ini: text files in their encodings, and settings files.

#include <iostream>

#include "cli/command.h"
#include "util/files/inifile.h"

namespace {

int RunIni(const cli::Args& args) {
    cli::ArgReader reader(args);
    const CString file = cli::Wide(reader.Next("FILE"));
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
        std::cout << cli::Utf8(value) << "\n";
        return cli::kExitOk;
    }
    KeyValueMap values;
    if (!common::sdk::inifile::GetKeyValues(file, section, &values)) {
        std::cerr << "tessmar-util: no entries in section [" << cli::Utf8(section) << "] of "
                  << cli::Utf8(file) << "\n";
        return cli::kExitFailure;
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
}

}  // namespace

CLI_COMMAND(
    "ini",
    "ini FILE SECTION        (all pairs of the section)\nini FILE SECTION KEY    (one value)",
    "read a settings (INI) file", RunIni);
CLI_DEMO_STEP(50, "Settings and text files", DemoSettingsAndText);
