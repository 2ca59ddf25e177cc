#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "util/testing/run_cli.h"

namespace util_testing {

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, const std::string& input,
                     const std::string& dir) {
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
    const bool exited = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    RunResult result{exited ? WEXITSTATUS(status) : -1, "", ""};
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
