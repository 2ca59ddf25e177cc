# nlohmann_json::nlohmann_json, the JSON library behind tessmar-util's --json (header-only,
# Debian's nlohmann-json3-dev).
#
# A native build uses the package's own CMake files. A cross build must not put the host's
# /usr/include on the compiler's path (its C library headers would shadow the target's), so it
# sees a folder in the build tree that holds only a link to the nlohmann/ headers.
if(TARGET nlohmann_json::nlohmann_json)
  return()
endif()
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3 REQUIRED)
  return()
endif()
find_path(UTIL_HOST_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          NO_DEFAULT_PATH)
if(NOT UTIL_HOST_JSON_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found in /usr/include (package nlohmann-json3-dev)")
endif()
set(UTIL_JSON_ONLY_DIR ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${UTIL_JSON_ONLY_DIR})
file(CREATE_LINK ${UTIL_HOST_JSON_DIR}/nlohmann ${UTIL_JSON_ONLY_DIR}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${UTIL_JSON_ONLY_DIR})
