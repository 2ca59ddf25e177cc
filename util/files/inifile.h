#ifndef UTIL_FILES_INIFILE_H
#define UTIL_FILES_INIFILE_H

// Reading settings files of the INI kind. Nothing is written and nothing is cached: every call
// reads the file anew.

#include "util/base/cstring.h"
#include "util/util_export.h"

namespace common {
namespace sdk {
namespace inifile {

UTIL_EXPORT bool GetKeyValues(const CString& file, const CString& section, KeyValueMap* values);
UTIL_EXPORT bool GetString(const CString& file, const CString& section, const CString& key,
                           CString* value);

}  // namespace inifile
}  // namespace sdk
}  // namespace common

#endif  // UTIL_FILES_INIFILE_H
