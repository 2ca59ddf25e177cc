# Checks the Windows modules after a build (run by ctest as the test "dll_exports"):
#  - Util.dll exports exactly the names listed in EXPECTED (demangled, one per line, sorted):
#    the UTIL_EXPORT interface. A name that is missing would fail a host at load time; a name
#    that is new widens the interface and must be added to the list on purpose.
#  - Util.dll and the program DLL imports are system DLLs only: no runtime DLL of the compiler.
# Usage: cmake -DOBJDUMP=... -DCXXFILT=... -DDLL=Util.dll -DEXE=tessmar-util.exe
#              -DEXPECTED=util/util_dll_exports.txt [-DUPDATE=ON] -P check_dll_exports.cmake
# With UPDATE=ON the list is rewritten from the DLL instead of compared.
cmake_minimum_required(VERSION 3.25)

function(read_pe module out_exports out_imports)
  execute_process(COMMAND ${OBJDUMP} -p ${module} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${module} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  list(TRANSFORM imports REPLACE "DLL Name: " "")
  # The names of the export table: lines "\t[  12] name" after "[Ordinal/Name Pointer] Table".
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
  set(names "")
  if(at GREATER -1)
    string(SUBSTRING "${dump}" ${at} -1 table)
    string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" names "${table}")
    list(TRANSFORM names REPLACE "\n\t\\[ *[0-9]+\\] " "")
  endif()
  set(${out_exports} "${names}" PARENT_SCOPE)
  set(${out_imports} "${imports}" PARENT_SCOPE)
endfunction()

read_pe(${DLL} mangled dll_imports)
get_filename_component(work ${DLL} DIRECTORY)
read_pe(${EXE} unused exe_imports)

# Demangle all names at once (one per line in, one per line out). The export table holds the
# names without the underscore 32-bit symbols carry in object files, so c++filt must not strip
# one (-n; the x86 c++filt strips it by default, the x64 one never does).
string(REPLACE ";" "\n" mangled_text "${mangled}")
file(WRITE ${work}/Util.exports.txt "${mangled_text}\n")
execute_process(COMMAND ${CXXFILT} -n INPUT_FILE ${work}/Util.exports.txt
                OUTPUT_VARIABLE demangled RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${CXXFILT} failed")
endif()
string(REGEX REPLACE "\n+$" "" demangled "${demangled}")
string(REPLACE ";" "\\;" demangled "${demangled}")
string(REPLACE "\n" ";" actual "${demangled}")
list(SORT actual)
list(REMOVE_DUPLICATES actual)
list(LENGTH actual actual_count)

if(UPDATE)
  string(REPLACE ";" "\n" text "${actual}")
  file(WRITE ${EXPECTED} "${text}\n")
  message(STATUS "wrote ${actual_count} exports to ${EXPECTED}")
  return()
endif()

set(failed FALSE)
if(actual_count EQUAL 0)
  message(SEND_ERROR "${DLL} exports nothing")
  set(failed TRUE)
endif()

file(STRINGS ${EXPECTED} expected)
foreach(name IN LISTS expected)
  list(FIND actual "${name}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "missing export: ${name}")
    set(failed TRUE)
  endif()
endforeach()
foreach(name IN LISTS actual)
  list(FIND expected "${name}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "unexpected export: ${name}")
    set(failed TRUE)
  endif()
endforeach()

foreach(import IN LISTS dll_imports exe_imports)
  if(import MATCHES "^(libstdc\\+\\+|libgcc|libwinpthread)")
    message(SEND_ERROR "a compiler runtime DLL is needed at run time: ${import}")
    set(failed TRUE)
  endif()
endforeach()
if(NOT "Util.dll" IN_LIST exe_imports)
  message(SEND_ERROR "${EXE} does not load Util.dll")
  set(failed TRUE)
endif()

if(failed)
  message(FATAL_ERROR "the Windows modules do not have the expected interface")
endif()
message(STATUS "${DLL}: ${actual_count} exports as listed; runtimes linked statically")
