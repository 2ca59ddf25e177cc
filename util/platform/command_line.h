#ifndef UTIL_PLATFORM_COMMAND_LINE_H
#define UTIL_PLATFORM_COMMAND_LINE_H

// The command line and the standard output of a program (tessmar-util), in UTF-8 on every
// platform. This part of the platform layer is compiled into the program, not into the library.

#include <string>
#include <vector>

namespace util_platform {

// The program's arguments after its name, each in UTF-8, exactly as the user gave them.
// POSIX: argv as it is (the system hands the bytes over unchanged).
// Windows: the wide command line of the process split by CommandLineToArgvW, so names outside
// the ANSI code page survive; argc/argv are not used there.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes a console show the UTF-8 the program prints (Windows: the console's output code page
// becomes UTF-8). Output to a file or a pipe is the same bytes either way; on POSIX this does
// nothing.
void UseUtf8Output();

// Runs the program file `program` with `args` (the arguments after its name, UTF-8) in place of
// this program: it gets this program's standard streams, and its exit status becomes this
// program's. Answers false, having started nothing, when the program cannot be started;
// otherwise it does not return.
// POSIX: execv. Windows: CreateProcessW with the arguments quoted so that CommandLineToArgvW
// gives them back unchanged, waited for; this process then exits with the child's status.
bool RunInstead(const std::string& program, const std::vector<std::string>& args);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_COMMAND_LINE_H
