// LOCAL ONLY (untracked): the log branch includes this name; the file layer declares TempFolder in file.h.
#include "util/platform/file.h"
