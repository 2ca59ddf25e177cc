# Install rules: what `cmake --install build --prefix P` (and `make install PREFIX=P`) lays out.
#
#   P/lib/libUtil.so.1.0.0, libUtil.so.1            component runtime
#   P/lib/libUtil.so                                 component dev (the link for building hosts)
#   P/include/tessmar-util/util/...                  component dev (public headers only)
#   P/lib/cmake/Util/UtilConfig*.cmake, UtilTargets* component dev (target Tessmar::Util)
#   P/lib/pkgconfig/tessmar-util.pc                  component dev
#   P/bin/tessmar-util, its man page, bash completion component cli
#   P/lib/tessmar-util/sample-install/...             component cli (the demo's install tree)
#
# The headers sit one folder deeper than usual (include/tessmar-util/util/...) so that no other
# package's util/ folder can clash with ours, while a host keeps writing
# #include "util/ipformat/ip_format.h" with include/tessmar-util on its include path.
#
# Everything installed is relocatable: the CMake package and the pkg-config file find the prefix
# from their own location, so an unpacked Debian package or a copied prefix works as it lies.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# "lib", not the multiarch folder: the same layout for every prefix and for the Debian packages.
set(UTIL_INSTALL_LIBDIR lib)
set(UTIL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/tessmar-util)
set(UTIL_INSTALL_CMAKEDIR ${UTIL_INSTALL_LIBDIR}/cmake/Util)

# The headers a host compiles against. Internal headers (*_internal.h, util/platform/,
# util/testing/ and the helpers each service keeps to itself) stay out: the check of the
# installed prefix compiles all of these together, so a public header that starts to include an
# internal one fails the suite.
set(UTIL_PUBLIC_HEADERS
    util/util_export.h
    util/module.h
    util/base/cstring.h
    util/base/wide_char.h
    util/base/path.h
    util/base/file_handle.h
    util/ipformat/ip_format.h
    util/logging/logging.h
    util/environment/environment.h
    util/environment/path_service.h
    util/files/file_access.h
    util/files/file_util.h
    util/files/inifile.h
    util/files/scoped_temp_dir.h
    util/common/cstring_util.h
    util/common/base64.h
    util/common/thread.h
    util/common/window_finder.h)

target_include_directories(Util INTERFACE $<INSTALL_INTERFACE:${UTIL_INSTALL_INCLUDEDIR}>)
set_target_properties(Util PROPERTIES EXPORT_NAME Util)
# The installed program finds the installed library beside it, wherever the prefix lies: from
# bin/ and from its copy in lib/tessmar-util/sample-install/.
set_target_properties(tessmar-util PROPERTIES
                      INSTALL_RPATH "\$ORIGIN/../${UTIL_INSTALL_LIBDIR};\$ORIGIN/../..")

install(TARGETS Util EXPORT UtilTargets
        LIBRARY DESTINATION ${UTIL_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
        ARCHIVE DESTINATION ${UTIL_INSTALL_LIBDIR} COMPONENT dev
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
foreach(header IN LISTS UTIL_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${CMAKE_SOURCE_DIR}/${header} DESTINATION ${UTIL_INSTALL_INCLUDEDIR}/${folder}
          COMPONENT dev)
endforeach()

install(EXPORT UtilTargets NAMESPACE Tessmar:: DESTINATION ${UTIL_INSTALL_CMAKEDIR}
        COMPONENT dev)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/UtilConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/install/UtilConfig.cmake
                              INSTALL_DESTINATION ${UTIL_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/install/UtilConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/install/UtilConfig.cmake
              ${CMAKE_BINARY_DIR}/install/UtilConfigVersion.cmake
        DESTINATION ${UTIL_INSTALL_CMAKEDIR} COMPONENT dev)

configure_file(${CMAKE_SOURCE_DIR}/cmake/tessmar-util.pc.in
               ${CMAKE_BINARY_DIR}/install/tessmar-util.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/tessmar-util.pc
        DESTINATION ${UTIL_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# --- The program, its man page and its bash completion ---------------------------------------
install(TARGETS tessmar-util RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
if(NOT WIN32)
  # The sample install, for `tessmar-util demo` and `paths` run from bin/: the library finds
  # Tessmar.ini and the locales folder beside the running program, so the tree holds a copy of
  # the program, which bin/tessmar-util runs for those two commands. It lies under lib/, not
  # share/, because it holds a program.
  set(UTIL_SAMPLE_INSTALL_DIR ${UTIL_INSTALL_LIBDIR}/tessmar-util/sample-install)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/sample-install/
          DESTINATION ${UTIL_SAMPLE_INSTALL_DIR} COMPONENT cli)
  install(TARGETS tessmar-util RUNTIME DESTINATION ${UTIL_SAMPLE_INSTALL_DIR} COMPONENT cli)
  install(FILES ${CMAKE_SOURCE_DIR}/cli/tessmar-util.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME tessmar-util COMPONENT cli)
endif()

# The man page is generated from the program's own --help, which lists every subcommand, so the
# page cannot fall behind the program. A cross build cannot run the program, and a sanitizer
# build's program is not the one that is installed, so they have none.
find_program(UTIL_HELP2MAN help2man)
if(UTIL_HELP2MAN AND NOT CMAKE_CROSSCOMPILING AND UTIL_SANITIZE STREQUAL "" AND NOT UTIL_BUILD_FUZZ)
  set(UTIL_MAN_PAGE ${CMAKE_BINARY_DIR}/man/tessmar-util.1)
  add_custom_command(
    OUTPUT ${UTIL_MAN_PAGE} ${UTIL_MAN_PAGE}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/man-page.sh $<TARGET_FILE:tessmar-util>
            ${CMAKE_SOURCE_DIR}/cli/tessmar-util.h2m ${UTIL_MAN_PAGE}
    DEPENDS tessmar-util ${CMAKE_SOURCE_DIR}/cli/tessmar-util.h2m
            ${CMAKE_SOURCE_DIR}/cmake/man-page.sh
    COMMENT "Generating the tessmar-util man page from --help"
    VERBATIM)
  add_custom_target(man-page ALL DEPENDS ${UTIL_MAN_PAGE})
  # A prefix install gets the plain page; the Debian package gets the compressed one (the
  # packaging installs only component cli, where the plain page is not).
  install(FILES ${UTIL_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT man)
  install(FILES ${UTIL_MAN_PAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli
          EXCLUDE_FROM_ALL)
else()
  message(STATUS "No man page for tessmar-util (help2man missing, cross or sanitizer build)")
endif()
