#ifndef UTIL_TESTING_SCOPED_ENV_VAR_H
#define UTIL_TESTING_SCOPED_ENV_VAR_H

// Test support: sets (or, with nullopt, removes) an environment variable for the lifetime of
// the object and restores the previous state afterwards.

#include <cstdlib>
#include <optional>
#include <string>

namespace util_testing {

// Sets the variable of this process to the UTF-8 value, or removes it for nullopt, so that both
// the C runtime (getenv) and the system's own view of the environment see the change.
// POSIX: setenv/unsetenv. Windows: _wputenv_s, which also updates the process environment
// that GetTempPathW and child processes read.
void SetEnvironmentVariableForTest(const std::string& name,
                                   const std::optional<std::string>& value);

class ScopedEnvVar {
  public:
    ScopedEnvVar(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        SetEnvironmentVariableForTest(name_, value);
    }
    ~ScopedEnvVar() { SetEnvironmentVariableForTest(name_, old_); }
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace util_testing

#endif  // UTIL_TESTING_SCOPED_ENV_VAR_H
