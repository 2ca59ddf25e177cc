# The Windows build: Util.dll, tessmar-util.exe and the test programs, cross-compiled with
# mingw-w64 (cmake/mingw-w64.cmake) and run under Wine.
#
# Included from CMakeLists.txt before any target exists (runtime linking, Boost, GoogleTest, the
# Wine wrapper that runs test programs); util_windows_targets() is called once the targets exist.

if(NOT MSVC)
  # GCC's runtimes (libgcc, libstdc++, winpthread) are linked into every module, so Util.dll and
  # the programs need nothing beside the system DLLs. -static only picks static archives where
  # both kinds exist; the system libraries exist only as import libraries and stay dynamic.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Boost is header-only here. The cross compiler sees only the boost/ folder of the host's
# headers (a folder in the build tree holding one link), never the rest of /usr/include, whose
# glibc headers would shadow the Windows ones.
if(NOT TARGET Boost::boost)
  find_path(UTIL_HOST_BOOST_DIR boost/version.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            NO_DEFAULT_PATH)
  if(NOT UTIL_HOST_BOOST_DIR)
    message(FATAL_ERROR "Boost headers not found in /usr/include (package libboost-dev)")
  endif()
  set(UTIL_BOOST_ONLY_DIR ${CMAKE_BINARY_DIR}/boost-include)
  file(MAKE_DIRECTORY ${UTIL_BOOST_ONLY_DIR})
  file(CREATE_LINK ${UTIL_HOST_BOOST_DIR}/boost ${UTIL_BOOST_ONLY_DIR}/boost SYMBOLIC)
  add_library(Boost::boost INTERFACE IMPORTED)
  set_target_properties(Boost::boost PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${UTIL_BOOST_ONLY_DIR}
    INTERFACE_COMPILE_DEFINITIONS "BOOST_ALL_NO_LIB")
endif()

if(CMAKE_CROSSCOMPILING)
  # Test programs (and GoogleTest's test discovery) run under Wine through a small wrapper that
  # gives them a private Wine prefix in the build tree, created on first use and then reused.
  # 64-bit programs run under wine64, 32-bit ones under wine (package wine32) in a 32-bit prefix.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(UTIL_WINE /usr/lib/wine/wine64 CACHE FILEPATH "The Wine loader for 64-bit programs")
    set(UTIL_WINEARCH win64)
  else()
    set(UTIL_WINE /usr/lib/wine/wine CACHE FILEPATH "The Wine loader for 32-bit programs")
    set(UTIL_WINEARCH win32)
  endif()
  set(UTIL_WINESERVER /usr/lib/wine/wineserver CACHE FILEPATH "The Wine server")
  set(UTIL_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  # A machine whose kernel runs 64-bit programs only (IA-32 emulation off) cannot start the
  # 32-bit loader: exec fails with "Exec format error". Then the Windows programs are built but
  # not run: no emulator, so the tests that run them are not registered (see CMakeLists.txt);
  # the checks that need no Wine (exports, the zip and a host built against it) still run.
  execute_process(COMMAND ${UTIL_WINE} --version RESULT_VARIABLE wine_status
                  OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE ${CMAKE_BINARY_DIR}/wine-run)
  if(wine_status EQUAL 0)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE
                   @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  else()
    message(WARNING "${UTIL_WINE} cannot run here (${wine_status}): the Windows programs are "
                    "built, but the tests that run them are not registered. A 32-bit loader "
                    "needs a kernel with IA-32 emulation.")
  endif()
endif()

# GoogleTest from Debian's sources, compiled with the cross compiler as part of this build.
if(UTIL_BUILD_TESTS AND NOT TARGET GTest::gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()

# A path of the build machine as the Windows programs under Wine see it (Wine shows the host's
# root folder as drive Z:), written for a C string literal.
function(util_windows_path_literal out path)
  string(REPLACE "/" "\\\\" native "${path}")
  set(${out} "Z:${native}" PARENT_SCOPE)
endfunction()

function(util_windows_targets)
  # Util.dll (not libUtil.dll) beside the programs; the import library libUtil.dll.a in lib/.
  set_target_properties(Util PROPERTIES PREFIX "" IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
  # System libraries the backend links by import (shlwapi: Path* helpers, shell32: the shell's
  # file operations and the command-line splitter). ws2_32 and Iphlpapi are loaded by name.
  target_link_libraries(util_objects PUBLIC shlwapi shell32)
  target_link_libraries(tessmar-util PRIVATE shell32)

  if(UTIL_BUILD_TESTS)
    add_dependencies(util_tests Util)
    # The tests find the program and the sources by paths the Windows side can open.
    util_windows_path_literal(cli "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/tessmar-util.exe")
    util_windows_path_literal(src "${CMAKE_SOURCE_DIR}")
    util_windows_path_literal(dll "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Util.dll")
    foreach(tests util_tests util_integration_tests)
      if(TARGET ${tests})
        get_target_property(defs ${tests} COMPILE_DEFINITIONS)
        list(FILTER defs EXCLUDE REGEX "^UTIL_(TEST_CLI|SOURCE_DIR)=")
        if(tests STREQUAL "util_tests")
          list(APPEND defs "UTIL_TEST_CLI=\"${cli}\"")
          # The unload test loads the DLL at run time (it does not import it).
          list(APPEND defs "UTIL_TEST_DLL=L\"${dll}\"")
        endif()
        list(APPEND defs "UTIL_SOURCE_DIR=\"${src}\"")
        set_target_properties(${tests} PROPERTIES COMPILE_DEFINITIONS "${defs}")
      endif()
    endforeach()

    # The DLL exports exactly the UTIL_EXPORT interface, and neither it nor the program needs a
    # runtime DLL of the compiler. Each architecture has its list: the demangled names differ
    # where a type's width does (size_t is unsigned int on x86, unsigned long long on x64).
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(UTIL_DLL_EXPORTS ${CMAKE_SOURCE_DIR}/util/util_dll_exports.txt)
    else()
      set(UTIL_DLL_EXPORTS ${CMAKE_SOURCE_DIR}/util/util_dll_exports_x86.txt)
    endif()
    add_test(NAME dll_exports
      COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DCXXFILT=${MINGW_TRIPLE}-c++filt
              -DDLL=$<TARGET_FILE:Util> -DEXE=$<TARGET_FILE:tessmar-util>
              -DEXPECTED=${UTIL_DLL_EXPORTS}
              -P ${CMAKE_SOURCE_DIR}/cmake/check_dll_exports.cmake)
    set_tests_properties(dll_exports PROPERTIES LABELS unit)
  endif()
endfunction()
