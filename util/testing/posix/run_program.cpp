#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "util/testing/run_cli.h"

namespace util_testing {
namespace {

// Waits for the child; after `limitSeconds` (when above 0) it is killed. Polls, for a test
// helper needs no signal handler that would change the whole test program's signal state.
bool WaitForChild(pid_t pid, int limitSeconds, int* status, bool* timedOut) {
    if (limitSeconds <= 0) return ::waitpid(pid, status, 0) == pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    for (;;) {
        const pid_t done = ::waitpid(pid, status, WNOHANG);
        if (done != 0) return done == pid;
        if (std::chrono::steady_clock::now() >= deadline) {
            *timedOut = true;
            ::kill(pid, SIGKILL);
            return ::waitpid(pid, status, 0) == pid;
        }
        const struct timespec pause = {0, 2 * 1000 * 1000};  // 2 ms
        ::nanosleep(&pause, nullptr);
    }
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const std::string& input,
                     const std::string& dir, int limitSeconds) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    FILE* streams[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};  // in, out, err
    if (!streams[0] || !streams[1] || !streams[2]) return {-1, "", "no temporary files"};
    std::fwrite(input.data(), 1, input.size(), streams[0]);
    std::fflush(streams[0]);
    std::rewind(streams[0]);
    const pid_t pid = ::fork();
    if (pid == 0) {  // the test programs run one thread, so the child may still allocate
        for (int fd = 0; fd < 3; ++fd) ::dup2(::fileno(streams[fd]), fd);
        for (const std::string& change : env) {
            const size_t eq = change.find('=');
            if (eq == std::string::npos)
                ::unsetenv(change.c_str());
            else
                ::setenv(change.substr(0, eq).c_str(), change.c_str() + eq + 1, 1);
        }
        if (dir.empty() || ::chdir(dir.c_str()) == 0) ::execvp(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    bool timedOut = false;
    const bool exited =
        pid > 0 && WaitForChild(pid, limitSeconds, &status, &timedOut) && WIFEXITED(status);
    RunResult result{exited ? WEXITSTATUS(status) : -1, "", "", timedOut};
    std::string* texts[3] = {nullptr, &result.out, &result.err};
    for (int fd = 0; fd < 3; ++fd) {
        char buffer[4096];
        std::rewind(streams[fd]);
        for (size_t n; texts[fd] && (n = std::fread(buffer, 1, sizeof buffer, streams[fd])) > 0;)
            texts[fd]->append(buffer, n);
        std::fclose(streams[fd]);
    }
    return result;
}

}  // namespace util_testing
