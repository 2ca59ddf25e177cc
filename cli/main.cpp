// tessmar-util: every service of the Util library from the command line, plus a demo that walks
// through a host program's typical session.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "cli/command.h"
#include "util/environment/environment.h"
#include "util/platform/command_line.h"

#ifndef UTIL_VERSION
#define UTIL_VERSION "0.0.0"
#endif

namespace cli {
namespace {

std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}

std::vector<DemoStep>& DemoSteps() {
    static std::vector<DemoStep> steps;
    return steps;
}

void PrintSynopsis(std::ostream& out, const Command& command) {
    std::string synopsis = command.synopsis;
    size_t start = 0;
    while (start < synopsis.size()) {
        size_t end = synopsis.find('\n', start);
        if (end == std::string::npos) end = synopsis.size();
        out << "  tessmar-util " << synopsis.substr(start, end - start) << "\n";
        start = end + 1;
    }
}

void PrintHelp(std::ostream& out) {
    out << "tessmar-util " UTIL_VERSION
           " - the services of the Util library from the command line\n"
           "\nUsage:\n"
           "  tessmar-util --help | --version\n"
           "  tessmar-util help COMMAND\n"
           "  tessmar-util demo            walk through a host program's session\n";
    for (const auto& [name, command] : Commands()) PrintSynopsis(out, command);
    out << "\nCommands:\n";
    for (const auto& [name, command] : Commands())
        out << "  " << name << std::string(name.size() < 12 ? 12 - name.size() : 1, ' ')
            << command.summary << "\n";
    out << "\nExit status: 0 success, 1 the library reported a failure, 2 usage error.\n";
}

std::filesystem::path MakeScratchFolder() {
    std::mt19937_64 random(static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto path = std::filesystem::temp_directory_path() /
                    ("tessmar-demo-" + std::to_string(random() % 1000000000ULL));
        std::error_code ec;
        if (std::filesystem::create_directory(path, ec)) return path;
    }
    throw std::runtime_error("cannot create a scratch folder for the demo");
}

// The demo and `paths` work on the install tree beside the program: its Tessmar.ini and locales
// folder. An installed program (PREFIX/bin/tessmar-util) has none beside it; the install lays
// the sample install out in PREFIX/lib/tessmar-util/sample-install/ with a copy of the program
// in it, and that copy is the one to run, since the library finds the tree from the running
// program's own folder. Answers that copy's path, or nothing when the tree lies beside this
// program or no copy is found.
std::optional<std::filesystem::path> SampleInstallProgram() {
    CPath exe;
    common::sdk::environment::GetExeFilePath(&exe);
    const auto program = std::filesystem::u8path(exe.ToUtf8());
    std::error_code ec;
    if (std::filesystem::exists(program.parent_path() / "Tessmar.ini", ec)) return std::nullopt;
    const auto copy = program.parent_path().parent_path() / "lib" / "tessmar-util" /
                      "sample-install" / program.filename();
    if (!std::filesystem::is_regular_file(copy, ec)) return std::nullopt;
    return copy;
}

int RunDemo(const Args& args) {
    if (!args.empty()) throw UsageError("demo takes no arguments");
    DemoContext context;
    std::error_code ec;
    CPath installDir;
    common::sdk::environment::GetExeFolderPath(&installDir);
    context.installDir = installDir.ToUtf8();
    auto scratch = MakeScratchFolder();
    context.workDir = scratch.string();

    auto steps = DemoSteps();
    std::stable_sort(steps.begin(), steps.end(),
                     [](const DemoStep& a, const DemoStep& b) { return a.order < b.order; });
    std::cout << "Tessmar Util demo\n";
    int status = kExitOk;
    for (const auto& step : steps) {
        std::cout << "\n== " << step.title << "\n";
        try {
            step.run(context);
        } catch (const std::exception& e) {
            std::cout << "   step failed: " << e.what() << "\n";
            status = kExitFailure;
        }
    }
    std::filesystem::remove_all(scratch, ec);
    return status;
}

}  // namespace

bool RegisterCommand(const Command& command) {
    Commands()[command.name] = command;
    return true;
}

bool RegisterDemoStep(const DemoStep& step) {
    DemoSteps().push_back(step);
    return true;
}

std::optional<std::string> ArgReader::Option(const std::string& name) {
    for (size_t i = 0; i < args_.size(); ++i) {
        if (args_[i] == "--") break;
        if (args_[i] == name) {
            if (i + 1 >= args_.size()) throw UsageError(name + " needs a value");
            std::string value = args_[i + 1];
            args_.erase(args_.begin() + static_cast<long>(i),
                        args_.begin() + static_cast<long>(i) + 2);
            return value;
        }
        if (args_[i].rfind(name + "=", 0) == 0) {
            std::string value = args_[i].substr(name.size() + 1);
            args_.erase(args_.begin() + static_cast<long>(i));
            return value;
        }
    }
    return std::nullopt;
}

bool ArgReader::Flag(const std::string& name) {
    for (size_t i = 0; i < args_.size(); ++i) {
        if (args_[i] == "--") break;
        if (args_[i] == name) {
            args_.erase(args_.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

std::string ArgReader::Next(const char* what) {
    for (size_t i = 0; i < args_.size(); ++i) {
        if (args_[i] == "--") {
            if (i + 1 >= args_.size()) break;
            std::string value = args_[i + 1];
            args_.erase(args_.begin() + static_cast<long>(i) + 1);
            return value;
        }
        if (args_[i].size() > 2 && args_[i].rfind("--", 0) == 0)
            throw UsageError("unknown option " + args_[i]);
        std::string value = args_[i];
        args_.erase(args_.begin() + static_cast<long>(i));
        return value;
    }
    throw UsageError(std::string("missing ") + what);
}

bool ArgReader::HasMore() const {
    for (size_t i = 0; i < args_.size(); ++i)
        if (args_[i] != "--") return true;
    return false;
}

std::vector<std::string> ArgReader::Rest() {
    std::vector<std::string> rest;
    while (HasMore()) rest.push_back(Next("argument"));
    return rest;
}

void ArgReader::Done() const {
    for (const auto& arg : args_) {
        if (arg == "--") continue;
        throw UsageError((arg.rfind("--", 0) == 0 ? "unknown option " : "unexpected argument ") +
                         arg);
    }
}

CString Wide(const std::string& utf8) {
    return CString::FromUtf8(utf8);
}
std::string Utf8(const CString& text) {
    return text.ToUtf8();
}

std::string ReadStdin() {
    std::string data((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    return data;
}

}  // namespace cli

int main(int argc, char** argv) {
    using namespace cli;
    util_platform::UseUtf8Output();
    const Args args = util_platform::ProgramArguments(argc, argv);
    if (args.empty()) {
        PrintHelp(std::cerr);
        return kExitUsage;
    }
    const std::string name = args.front();
    Args rest(args.begin() + 1, args.end());
    const Command* command = nullptr;
    auto found = Commands().find(name);
    if (found != Commands().end()) command = &found->second;
    try {
        if (name == "--help" || name == "-h") {
            PrintHelp(std::cout);
            return kExitOk;
        }
        if (name == "--version") {
            std::cout << "tessmar-util " UTIL_VERSION "\n";
            return kExitOk;
        }
        if (name == "help") {
            if (rest.empty()) {
                PrintHelp(std::cout);
                return kExitOk;
            }
            auto it = Commands().find(rest.front());
            if (it == Commands().end()) throw UsageError("unknown command " + rest.front());
            std::cout << it->second.summary << "\n\nUsage:\n";
            PrintSynopsis(std::cout, it->second);
            return kExitOk;
        }
        if (name == "demo" || name == "paths") {
            if (auto copy = SampleInstallProgram())
                if (!util_platform::RunInstead(copy->u8string(), args))
                    throw std::runtime_error("cannot start " + copy->u8string());
        }
        if (name == "demo") return RunDemo(rest);
        if (!command) throw UsageError("unknown command " + name);
        if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
            std::cout << command->summary << "\n\nUsage:\n";
            PrintSynopsis(std::cout, *command);
            return kExitOk;
        }
        return command->run(rest);
    } catch (const UsageError& e) {
        std::cerr << "tessmar-util: " << e.what() << "\n";
        if (command) {
            std::cerr << "usage:\n";
            PrintSynopsis(std::cerr, *command);
        } else {
            std::cerr << "Try 'tessmar-util --help'.\n";
        }
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "tessmar-util: " << e.what() << "\n";
        return kExitFailure;
    }
}
