// tessmar-util base64: Base64 of standard input or of a text given on the command line.

#include <iostream>

#include "cli/command.h"
#include "util/common/base64.h"

namespace {

int RunBase64(const cli::Args& args) {
    cli::ArgReader reader(args);
    std::optional<std::string> text = reader.Option("--text");
    std::string direction = reader.Next("encode or decode");
    reader.Done();
    if (direction != "encode" && direction != "decode")
        throw cli::UsageError("expected encode or decode, not " + direction);
    std::string input = text ? *text : cli::ReadStdin();
    std::string output;
    if (direction == "encode") {
        Base64::encode(input, output);
        std::cout << output << "\n";
        return cli::kExitOk;
    }
    if (!Base64::decode(input, output)) {
        std::cerr << "tessmar-util: the input holds no complete Base64 byte\n";
        return cli::kExitFailure;
    }
    std::cout.write(output.data(), static_cast<std::streamsize>(output.size()));
    return cli::kExitOk;
}

void DemoBase64(cli::DemoContext&) {
    const std::string jobClientId = "JOB-2026-0042@tessmar";
    std::string encoded, decoded;
    Base64::encode(jobClientId, encoded);
    Base64::decode(encoded, decoded);
    std::cout << "   job client ID   " << jobClientId << "\n"
              << "   Base64          " << encoded << "\n"
              << "   decoded again   " << decoded << "\n";
}

}  // namespace

CLI_COMMAND("base64", "base64 encode|decode [--text TEXT]   (standard input when no --text)",
            "encode or decode Base64", RunBase64);
CLI_DEMO_STEP(70, "Base64 of a job client ID", DemoBase64);
