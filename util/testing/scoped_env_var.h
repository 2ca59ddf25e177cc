#ifndef UTIL_TESTING_SCOPED_ENV_VAR_H
#define UTIL_TESTING_SCOPED_ENV_VAR_H

// Test support: sets (or, with nullopt, removes) an environment variable for the lifetime of
// the object and restores the previous state afterwards.

#include <cstdlib>
#include <optional>
#include <string>

namespace util_testing {

class ScopedEnvVar {
  public:
    ScopedEnvVar(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        Apply(value);
    }
    ~ScopedEnvVar() { Apply(old_); }
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

  private:
    void Apply(const std::optional<std::string>& value) {
        if (value)
            ::setenv(name_.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace util_testing

#endif  // UTIL_TESTING_SCOPED_ENV_VAR_H
