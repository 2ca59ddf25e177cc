#ifndef UTIL_ENVIRONMENT_PATH_TABLE_H
#define UTIL_ENVIRONMENT_PATH_TABLE_H

// The path service's process-wide table. It is defined in util/module.cpp, in its place among
// the module's static objects, so that it exists (empty) before any exported function can run.

#include <map>

#include "util/base/cstring.h"
#include "util/environment/path_service.h"

namespace common {
namespace sdk {

using PathTable = std::map<PathType, CString>;

extern PathTable g_pathTable;

}  // namespace sdk
}  // namespace common

#endif  // UTIL_ENVIRONMENT_PATH_TABLE_H
