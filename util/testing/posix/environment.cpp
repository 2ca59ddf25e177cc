#include <stdlib.h>

#include "util/testing/scoped_env_var.h"

namespace util_testing {

void SetEnvironmentVariableForTest(const std::string& name,
                                   const std::optional<std::string>& value) {
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

}  // namespace util_testing
