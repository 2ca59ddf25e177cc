#include <stdlib.h>

#include "util/testing/scoped_env_var.h"
#include "util/testing/win32/wide.h"

namespace util_testing {

void SetEnvironmentVariableForTest(const std::string& name,
                                   const std::optional<std::string>& value) {
    // An empty value removes the variable, so an empty one that must exist is set by the system
    // call (the C runtime cannot hold it).
    const std::wstring wideName = WideFromUtf8(name);
    if (value && value->empty()) {
        _wputenv_s(wideName.c_str(), L"");
        ::SetEnvironmentVariableW(wideName.c_str(), L"");
    } else {
        _wputenv_s(wideName.c_str(), value ? WideFromUtf8(*value).c_str() : L"");
    }
}

}  // namespace util_testing
