// The module's objects of static lifetime, all defined in this one file so that they are built
// in a fixed order when the library is loaded, before any exported function can run, and
// destroyed in the reverse order when it is unloaded:
//
//   1. the constant character sets of the IP address validators;
//   2. the log's file object with its lock (closing the file at unload if Term was not called);
//   3. the path service's table of paths;
//   4. the application object.
//
// Each subsystem declares its object in its own internal header and defines it here, in its
// place in that order.

#include "util/module.h"

#include "util/environment/path_table.h"
#include "util/ipformat/ip_text.h"
#include "util/logging/log_file.h"

// 1. The IP address validators' character sets.
const CString g_strDigits(u"0123456789");
const CString g_strHexDigits(u"0123456789abcdefABCDEF");
const CString g_strIPv6PreCheckChars(u"0123456789abcdefABCDEF:/");
const CString g_strDot(u".");

// 2. The log's file object and its lock.
CLogFile LogFile;

// 3. The path service's table of paths.
common::sdk::PathTable common::sdk::g_pathTable;

// 4. The application object.
CUtilApp theApp;
