#ifndef CLI_JSON_OUTPUT_H
#define CLI_JSON_OUTPUT_H

// --json: the record-printing commands print one JSON document on one line instead of their
// table, for scripts (`tessmar-util env --json | jq -r .settings_file`). Keys keep the order in
// which a command adds them, so the document reads like the table it replaces. Failures are
// reported on standard error and by the exit code exactly as without --json.

#include <iostream>
#include <nlohmann/json.hpp>

namespace cli {

using Json = nlohmann::ordered_json;

// Writes the document and a newline to standard output. Text that is not valid UTF-8 (a file
// name given in another encoding) is written with U+FFFD in place of the bad bytes rather than
// failing the command.
inline void PrintJson(const Json& document) {
    std::cout << document.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

}  // namespace cli

#endif  // CLI_JSON_OUTPUT_H
