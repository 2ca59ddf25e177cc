#ifndef UTIL_MODULE_H
#define UTIL_MODULE_H

// The module's application object. It exists because a host expects one per module; it has no
// behaviour of its own. It is the last of the module's static objects to be built (see
// module.cpp) and the first to be destroyed.

#include "util/util_export.h"

class UTIL_EXPORT CUtilApp {
public:
    CUtilApp() = default;
    CUtilApp(const CUtilApp&) = delete;
    CUtilApp& operator=(const CUtilApp&) = delete;
};

UTIL_EXPORT extern CUtilApp theApp;

#endif  // UTIL_MODULE_H
