#include "util/testing/run_cli.h"

namespace util_testing {

bool MatchesGlob(const std::string& text, const std::string& pattern) {
    const size_t star = pattern.find('*');
    if (star == std::string::npos) return text == pattern;
    if (text.compare(0, star, pattern, 0, star) != 0) return false;
    for (size_t at = star; at <= text.size(); ++at)
        if (MatchesGlob(text.substr(at), pattern.substr(star + 1))) return true;
    return false;
}

}  // namespace util_testing
