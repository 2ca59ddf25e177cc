// The portable white-space table against the C runtime it was measured from: msvcrt's iswspace,
// on every one of the 65536 UTF-16 units.

#include <gtest/gtest.h>

#include <cwctype>

#include "util/platform/unicode.h"

namespace {

TEST(WhiteSpaceTable, AgreesWithTheRuntimesIswspaceOnEveryUnit) {
    int differences = 0;
    for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
        const bool runtime = std::iswspace(static_cast<wint_t>(unit)) != 0;
        const bool table = util_platform::IsSpaceUnit(static_cast<char16_t>(unit));
        if (runtime != table && ++differences <= 10)
            ADD_FAILURE() << std::hex << "U+" << unit << ": iswspace " << runtime << ", table "
                          << table;
    }
    EXPECT_EQ(differences, 0);
}

}  // namespace
