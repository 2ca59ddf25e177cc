#ifndef CLI_COMMAND_H
#define CLI_COMMAND_H

// The command-line program's plumbing. Each service has one source file in cli/ that registers
// its subcommand (and, where it makes sense, a step of the demo) with the macros below, so that
// adding a service never touches the other commands.
//
// Exit codes: 0 success, 1 a failure result of the library, 2 a usage error (thrown as
// UsageError; main prints it with the command's synopsis).

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "util/base/cstring.h"

namespace cli {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Args = std::vector<std::string>;

struct Command {
    const char* name;      // first word on the command line
    const char* synopsis;  // usage lines shown by --help, one per line
    const char* summary;   // one line
    int (*run)(const Args& args);  // arguments after the name
};

// What the demo's steps share: the install folder the program runs from, and a scratch folder
// that exists for the demo's lifetime and is removed afterwards.
struct DemoContext {
    std::string installDir;
    std::string workDir;
};

// Demo steps run in ascending order. The scenario follows a host's day: open the log (10), pick
// the language and paths (20), addresses (30), scope IDs (35), firmware files (40), settings
// and text files (50), temporary folder (60), Base64 (70), window lookup (80), end of the
// download and the log shown (90).
struct DemoStep {
    int order;
    const char* title;
    void (*run)(DemoContext& context);
};

bool RegisterCommand(const Command& command);
bool RegisterDemoStep(const DemoStep& step);

// --- Helpers for command implementations ---------------------------------------------------

// Reads options and positional arguments of one command.
class ArgReader {
public:
    explicit ArgReader(const Args& args) : args_(args) {}
    // Takes "--name VALUE" (or "--name=VALUE") wherever it stands; nullopt when absent.
    std::optional<std::string> Option(const std::string& name);
    // Takes "--name" wherever it stands.
    bool Flag(const std::string& name);
    // Takes the next positional argument; throws UsageError naming `what` when there is none.
    std::string Next(const char* what);
    // True when a positional argument remains.
    bool HasMore() const;
    // The remaining positional arguments.
    std::vector<std::string> Rest();
    // Throws UsageError if anything was not taken.
    void Done() const;

private:
    std::vector<std::string> args_;
};

CString Wide(const std::string& utf8);
std::string Utf8(const CString& text);

// Reads all of standard input.
std::string ReadStdin();

}  // namespace cli

#define CLI_CONCAT_INNER(a, b) a##b
#define CLI_CONCAT(a, b) CLI_CONCAT_INNER(a, b)
#define CLI_COMMAND(...) \
    static const bool CLI_CONCAT(cli_command_, __LINE__) = ::cli::RegisterCommand({__VA_ARGS__})
#define CLI_DEMO_STEP(...) \
    static const bool CLI_CONCAT(cli_demo_, __LINE__) = ::cli::RegisterDemoStep({__VA_ARGS__})

#endif  // CLI_COMMAND_H
