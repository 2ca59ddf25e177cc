# Packages (`make package`, `make windows-package`) and the tests that prove the installed library
# usable.
#
# Linux, three Debian packages:
#   libtessmar-util1     the shared object
#   libtessmar-util-dev  headers, CMake package, pkg-config file, the libUtil.so link
#   tessmar-util         the program, its man page and bash completion
# cut from the install components of cmake/install.cmake; dependencies on the system libraries
# are computed by dpkg-shlibdeps, the ones between our packages are exact.
#
# Windows, one zip per architecture (-win64, -win32) for a MinGW host: bin/Util.dll, bin/tessmar-util.exe, lib/libUtil.dll.a, the
# headers, the CMake package and the pkg-config file.

set(UTIL_PACKAGE_MAINTAINER "Tessmar Util developers <util-dev@tessmar.example>")
set(CPACK_PACKAGE_NAME tessmar-util)
set(CPACK_PACKAGE_VENDOR "Tessmar")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${UTIL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime dev cli)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  # -win64 for the x64 build, -win32 for the x86 one (the names Windows packages commonly use).
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(UTIL_WINDOWS_PACKAGE_ARCH win64)
  else()
    set(UTIL_WINDOWS_PACKAGE_ARCH win32)
  endif()
  set(CPACK_PACKAGE_FILE_NAME tessmar-util-${PROJECT_VERSION}-${UTIL_WINDOWS_PACKAGE_ARCH})
else()
  set(UTIL_DEB_PACKAGES runtime:libtessmar-util1 dev:libtessmar-util-dev cli:tessmar-util)

  # Every package carries its copyright file and a changelog in its own doc folder. Prefix
  # installs leave them out (component-only files).
  string(TIMESTAMP UTIL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  foreach(entry IN LISTS UTIL_DEB_PACKAGES)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 component)
    list(GET entry 1 package)
    set(UTIL_DEB_PACKAGE ${package})
    set(docs ${CMAKE_BINARY_DIR}/debian/${package})
    configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${docs}/changelog @ONLY)
    file(MAKE_DIRECTORY ${docs}/gz)
    execute_process(COMMAND gzip -9 -n -c ${docs}/changelog OUTPUT_FILE ${docs}/gz/changelog.gz)
    install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${docs}/gz/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
  endforeach()

  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_GENERATOR DEB)
  set(CPACK_COMPONENT_DEV_DEPENDS runtime)
  set(CPACK_COMPONENT_CLI_DEPENDS runtime)

  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${UTIL_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The program needs libUtil.so.1 from our own runtime package, which is not installed on the
  # building machine: dpkg-shlibdeps finds it in the build tree, and the exact dependency on
  # libtessmar-util1 comes from the component dependency above.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtessmar-util1)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
      "shared services of the Tessmar firmware tool
Util gives the Tessmar firmware tool one careful implementation of the
services every part of it needs: IP address text, the download log, paths
and UI language, firmware, text and INI files, a scoped temporary directory,
Base64, a recursive lock and a worker thread.

This package holds the shared library.")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/debian/triggers)

  set(CPACK_DEBIAN_DEV_PACKAGE_NAME libtessmar-util-dev)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  # thread.h uses Boost's shared_ptr, so a host compiles against Boost's headers too.
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libboost-dev")
  set(CPACK_DEBIAN_DEV_DESCRIPTION
      "shared services of the Tessmar firmware tool (development files)
Util gives the Tessmar firmware tool one careful implementation of the
services every part of it needs: IP address text, the download log, paths
and UI language, firmware, text and INI files, a scoped temporary directory,
Base64, a recursive lock and a worker thread.

This package holds the headers, the CMake package (find_package(Util) with
the target Tessmar::Util) and the pkg-config file tessmar-util.")

  set(CPACK_DEBIAN_CLI_PACKAGE_NAME tessmar-util)
  set(CPACK_DEBIAN_CLI_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_CLI_DESCRIPTION
      "command-line access to the Tessmar Util library
tessmar-util exposes every service of the Util library on the command line:
IP address checks and scope-ID completion, the download log, UI language
and resource paths, firmware file description blocks and stamping, text and
INI files, temporary directories, Base64 and the window finder. Most
commands can print JSON for scripts.")
endif()

include(CPack)

# ---------------------------------------------------------------------------------------------
# Tests of what a host developer gets. They use the build's own outputs (install and cpack copy
# them; nothing is compiled again but the small host program), so they are quick. Sanitizer and
# cross builds skip them: their library is not one a host links as it is.
if(UTIL_BUILD_TESTS AND UTIL_SANITIZE STREQUAL "" AND NOT CMAKE_CROSSCOMPILING)
  set(UTIL_PACKAGE_TEST_ENV
      UTIL_BUILD_DIR=${CMAKE_BINARY_DIR} UTIL_SOURCE_DIR=${CMAKE_SOURCE_DIR}
      UTIL_VERSION=${PROJECT_VERSION} UTIL_CMAKE_GENERATOR=${CMAKE_GENERATOR})
  add_test(NAME package.exports
           COMMAND ${CMAKE_SOURCE_DIR}/cmake/tests/check-exports.sh $<TARGET_FILE:Util>
                   ${CMAKE_SOURCE_DIR}/util/util_so_exports.txt)
  add_test(NAME package.install_and_build_host
           COMMAND ${CMAKE_SOURCE_DIR}/cmake/tests/check-install.sh)
  add_test(NAME package.deb_and_build_host
           COMMAND ${CMAKE_SOURCE_DIR}/cmake/tests/check-deb.sh)
  set_tests_properties(package.exports package.install_and_build_host package.deb_and_build_host
                       PROPERTIES LABELS package ENVIRONMENT "${UTIL_PACKAGE_TEST_ENV}"
                                  TIMEOUT 300)
  # The package test spends most of its time in lintian; started first, it overlaps with the
  # unit tests instead of running after them.
  set_tests_properties(package.deb_and_build_host PROPERTIES COST 1000)
  # Without the packaging tools (scripts/install-deps.sh package) it is skipped, saying so.
  set_tests_properties(package.deb_and_build_host PROPERTIES SKIP_RETURN_CODE 77)
endif()

# The Windows zip, unpacked and used by a host built with the cross compiler, run under Wine.
# Where Wine cannot run the build's programs (no emulator), the host is built but not run, and
# the test says so and counts as skipped.
if(UTIL_BUILD_TESTS AND WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_TOOLCHAIN_FILE)
  add_test(NAME package.zip_and_build_host COMMAND ${CMAKE_SOURCE_DIR}/cmake/tests/check-zip.sh)
  set_tests_properties(package.zip_and_build_host PROPERTIES
    LABELS package TIMEOUT 600 COST 1000 SKIP_RETURN_CODE 77
    ENVIRONMENT "UTIL_BUILD_DIR=${CMAKE_BINARY_DIR};UTIL_SOURCE_DIR=${CMAKE_SOURCE_DIR};UTIL_VERSION=${PROJECT_VERSION};UTIL_CMAKE_GENERATOR=${CMAKE_GENERATOR};UTIL_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE};UTIL_WINE_RUN=${CMAKE_CROSSCOMPILING_EMULATOR};UTIL_PACKAGE_FILE_NAME=tessmar-util-${PROJECT_VERSION}-${UTIL_WINDOWS_PACKAGE_ARCH}")
endif()

# `make exports` rewrites the export list after an intended change of the interface.
if(NOT WIN32)
  add_custom_target(exports
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/tests/check-exports.sh $<TARGET_FILE:Util>
            ${CMAKE_SOURCE_DIR}/util/util_so_exports.txt --update
    DEPENDS Util
    COMMENT "Writing util/util_so_exports.txt from libUtil.so")
endif()
