# Helpers shared by every module: warnings, sanitizers, tests, fuzz targets, Windows specifics.
include(GoogleTest)

set(PX_ROOT ${CMAKE_SOURCE_DIR})
set(PX_WINEBENCH ${PX_ROOT}/tools/winebench/winebench)

add_library(px_warnings INTERFACE)
target_compile_options(px_warnings INTERFACE -Wall -Wextra -Wno-unused-parameter $<$<BOOL:${WIN32}>:-Wno-cast-function-type>)

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX)
elseif(PX_SANITIZE)
  add_compile_options(-fsanitize=${PX_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${PX_SANITIZE})
endif()

# _px_test_units_at_o0(TARGET): under the sanitizers a test program's own units (and the header
# they share, which must be built alike) compile at -O0, with the same sanitizers; the code under
# test, in the libraries, stays at the tree's -O1. A GoogleTest unit takes about half the time of
# -O1 so (store_test.cpp: 9 s of CPU against 19 s).
# In the Windows tree the same units compile at -O1 (the tree is at -O2): they drive windows and
# compare screens, and the Windows tree is the slowest of make test to build.
function(_px_test_units_at_o0 target)
  if(PX_SANITIZE)
    target_compile_options(${target} PRIVATE -O0)
  elseif(WIN32)
    target_compile_options(${target} PRIVATE -O1)
  endif()
endfunction()

enable_testing()
if(PX_TESTS)
  if(WIN32)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # gtest's own sources trip a few of MinGW's warnings; they are not ours to mend.
    foreach(t gtest gtest_main gmock gmock_main)
      if(TARGET ${t})
        target_compile_options(${t} PRIVATE -w)
      endif()
    endforeach()
  else()
    find_package(GTest REQUIRED)
  endif()

  if(WIN32)
    # The Windows tests run in lanes: each lane is a Wine session of its own (Xvfb, PulseAudio,
    # wineserver, desktop, prefix), started once for the whole ctest run. ctest hands each test a
    # lane from the resource "winelane" (ctest --resource-spec-file build/win/resources.json, as
    # scripts/test.sh does): a SERIAL program takes a whole lane, since it owns the lane's screen,
    # pointer and sound; others take half of one. Without the file every test runs in lane 1.
    # One lane by default: in the first full run with two, screen and keyboard tests of the view
    # (Ctrl+S's save dialog, cameras in turn) failed or hung, which one lane has not shown.
    set(PX_WINE_LANES 1 CACHE STRING "Wine sessions the Windows tests run in side by side")
    set(stamps ${CMAKE_BINARY_DIR}/winebench/prefix.stamp)
    set(lanes "{\"id\": \"1\", \"slots\": 2}")
    if(PX_WINE_LANES GREATER 1)
      foreach(lane RANGE 2 ${PX_WINE_LANES})
        list(APPEND stamps ${CMAKE_BINARY_DIR}/winebench/lane${lane}/prefix.stamp)
        string(APPEND lanes ", {\"id\": \"${lane}\", \"slots\": 2}")
      endforeach()
    endif()
    file(WRITE ${CMAKE_BINARY_DIR}/resources.json
      "{\"version\": {\"major\": 1, \"minor\": 0}, \"local\": [{\"winelane\": [${lanes}]}]}\n")
    add_custom_command(OUTPUT ${stamps}
      COMMAND ${PX_WINEBENCH} boot ${CMAKE_BINARY_DIR} ${PX_WINE_LANES}
      COMMENT "booting the Wine prefixes of this build tree"
      VERBATIM)
    add_custom_target(wineprefix DEPENDS ${stamps})
    add_test(NAME winesession.start COMMAND ${PX_WINEBENCH} start ${CMAKE_BINARY_DIR} ${PX_WINE_LANES})
    set_tests_properties(winesession.start PROPERTIES FIXTURES_SETUP winesession TIMEOUT 120)
    add_test(NAME winesession.stop COMMAND ${PX_WINEBENCH} stop ${CMAKE_BINARY_DIR})
    set_tests_properties(winesession.stop PROPERTIES FIXTURES_CLEANUP winesession TIMEOUT 60)

  endif()

  # One precompiled header of GoogleTest (and on Windows of the platform) for every test program:
  # each of them would otherwise parse gtest and gmock (and windows.h) again, about half of a test
  # unit's time on Windows and a third of it under the sanitizers.
  if(WIN32)
    set(PX_TEST_PCH px_wintest_pch)
  else()
    set(PX_TEST_PCH px_test_pch)
  endif()
  file(WRITE ${CMAKE_BINARY_DIR}/pch/pch.cpp "")
  add_library(${PX_TEST_PCH} STATIC ${CMAKE_BINARY_DIR}/pch/pch.cpp)
  target_link_libraries(${PX_TEST_PCH} PRIVATE GTest::gtest GTest::gmock px_warnings)
  if(WIN32)
    target_precompile_headers(${PX_TEST_PCH} PRIVATE
      "$<$<COMPILE_LANGUAGE:CXX>:<winsock2.h$<ANGLE-R>>" "$<$<COMPILE_LANGUAGE:CXX>:<windows.h$<ANGLE-R>>")
  endif()
  target_precompile_headers(${PX_TEST_PCH} PRIVATE
    "$<$<COMPILE_LANGUAGE:CXX>:<gtest/gtest.h$<ANGLE-R>>" "$<$<COMPILE_LANGUAGE:CXX>:<gmock/gmock.h$<ANGLE-R>>")
  _px_test_units_at_o0(${PX_TEST_PCH})
endif()

# _px_program(NAME SWITCH PREFIX ARGS...): the program of px_test and px_fuzz, from ARGS' SOURCES and
# LIBS; the parsed arguments stay in the caller as PREFIX_SERIAL, PREFIX_TIMEOUT, PREFIX_SOURCES,
# PREFIX_LIBS. With SWITCH off, the calling function returns (a macro's return leaves its caller).
macro(_px_program name switch prefix)
  if(NOT ${switch})
    return()
  endif()
  cmake_parse_arguments(${prefix} "SERIAL" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${${prefix}_SOURCES})
  target_link_libraries(${name} PRIVATE ${${prefix}_LIBS})
endmacro()

# px_test(NAME SOURCES a.cpp ... LIBS x y [TIMEOUT s] [SERIAL])
# A GoogleTest program, one ctest test per case. Windows programs run under a Wine session (a lane);
# SERIAL keeps a program that uses the sound server or the screen from running beside another in
# its lane.
function(px_test name)
  _px_program(${name} PX_TESTS T ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock px_warnings)
  _px_test_units_at_o0(${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${T_TIMEOUT})
  set(c_sources ${T_SOURCES})
  list(FILTER c_sources INCLUDE REGEX "\\.c$")
  if(NOT c_sources) # the header is C++ only
    target_precompile_headers(${name} REUSE_FROM ${PX_TEST_PCH})
  endif()
  if(WIN32)
    # The session's desktop-keeping program too: without it the first Windows program of a session
    # starts Wine's helpers (services, explorer), which inherit its output, and ctest then waits for
    # them after the program has ended, until the test's timeout.
    add_dependencies(${name} wineprefix winebench-keepalive)
    target_link_options(${name} PRIVATE -mconsole)
    list(APPEND props FIXTURES_REQUIRED winesession)
    if(T_SERIAL)
      list(APPEND props RESOURCE_GROUPS winelane:2 ENVIRONMENT WINEBENCH_SERIAL=1)
    else()
      list(APPEND props RESOURCE_GROUPS winelane:1)
    endif()
  elseif(T_SERIAL)
    list(APPEND props RESOURCE_LOCK winedevices)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES ${props})
endfunction()

# px_fuzz(NAME SOURCES a.cpp ... LIBS x y): a libFuzzer target, built in the fuzz tree only.
# The test command runs each one briefly over its seed corpus (fuzz/corpus/NAME). The target
# fuzz_targets builds them all and only what they need (make test builds the fuzz tree so).
if(PX_FUZZ)
  add_custom_target(fuzz_targets)
endif()
function(px_fuzz name)
  _px_program(${name} PX_FUZZ F ${ARGN})
  add_dependencies(fuzz_targets ${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus ${PX_ROOT}/fuzz/corpus/${name})
  set(work ${CMAKE_BINARY_DIR}/fuzz-work/${name})
  file(MAKE_DIRECTORY ${work})
  set(dirs ${work})
  if(EXISTS ${corpus})
    list(APPEND dirs ${corpus})
  endif()
  add_test(NAME fuzz.${name} COMMAND ${PX_ROOT}/fuzz/run-fuzzer $<TARGET_FILE:${name}> ${dirs})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 300)
endfunction()

# xvid.h of the system's libxvidcore, usable by both builds: the Windows side loads xvidcore.dll by
# name and needs only the header's records and constants, which hold no 'long' fields.
find_file(PX_XVID_H xvid.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
configure_file(${PX_XVID_H} ${CMAKE_BINARY_DIR}/xvid-include/xvid.h COPYONLY)
add_library(px_xvid_headers INTERFACE)
target_include_directories(px_xvid_headers INTERFACE ${CMAKE_BINARY_DIR}/xvid-include)
file(STRINGS ${PX_XVID_H} _xv REGEX "^#define XVID_VERSION +XVID_MAKE_VERSION")
string(REGEX MATCHALL "[0-9]+" _xvn "${_xv}")
list(GET _xvn 0 _xv_major)
list(GET _xvn 1 _xv_minor)
list(GET _xvn 2 _xv_patch)
math(EXPR PX_XVID_VERSION "(${_xv_major} << 16) | (${_xv_minor} << 8) | ${_xv_patch}" OUTPUT_FORMAT HEXADECIMAL)

# px_widl(NAME IDL COMMENT): NAME.tlb, NAME_h.h and NAME_i.c from IDL through widl, into
# ${CMAKE_CURRENT_BINARY_DIR}/gen, which the caller gets back in its variable gen.
function(px_widl name idl comment)
  find_program(PX_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/gen)
  file(MAKE_DIRECTORY ${gen})
  set(flags --win64 -I/usr/include/wine/wine/windows -L/usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  add_custom_command(OUTPUT ${gen}/${name}.tlb ${gen}/${name}_h.h ${gen}/${name}_i.c
    COMMAND ${PX_WIDL} ${flags} -t -o ${gen}/${name}.tlb ${idl}
    COMMAND ${PX_WIDL} ${flags} -h -o ${gen}/${name}_h.h ${idl}
    COMMAND ${PX_WIDL} ${flags} -u -o ${gen}/${name}_i.c ${idl}
    DEPENDS ${idl}
    COMMENT "widl: ${comment}"
    VERBATIM)
  set(gen ${gen} PARENT_SCOPE)
endfunction()

# px_skin_art(TARGET SCRIPT COMMENT OUTPUTS f ... [ARGS a ...] [DEPENDS d ...]): runs the skin art
# generator SCRIPT (with the shared drawing modules) into ${CMAKE_CURRENT_BINARY_DIR}/art, which
# the caller gets back in its variable art; TARGET builds the OUTPUTS (names inside art).
function(px_skin_art target script comment)
  cmake_parse_arguments(A "" "" "OUTPUTS;ARGS;DEPENDS" ${ARGN})
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  set(art ${CMAKE_CURRENT_BINARY_DIR}/art)
  list(TRANSFORM A_OUTPUTS PREPEND ${art}/)
  add_custom_command(OUTPUT ${A_OUTPUTS}
    COMMAND Python3::Interpreter ${script} ${art} ${A_ARGS}
    DEPENDS ${script} ${PX_ROOT}/skin/art/skinart.py ${PX_ROOT}/skin/art/font5x7.py ${A_DEPENDS}
    COMMENT ${comment}
    VERBATIM)
  add_custom_target(${target} DEPENDS ${A_OUTPUTS})
  set(art ${art} PARENT_SCOPE)
endfunction()

# px_skin_dll(NAME CORE): the skin library NAME.dll from win/NAME.cpp, .rc and .def over the skinned-UI
# kit's exports, its tables in the library CORE, its resources from the art of px_skin_art (target
# name_art in lower case, NAMEArt.rc).
function(px_skin_dll name core)
  string(TOLOWER ${name} lower)
  set(art ${CMAKE_CURRENT_BINARY_DIR}/art)
  add_library(${name} SHARED win/${name}.cpp win/${name}.rc win/${name}.def)
  set_target_properties(${name} PROPERTIES PREFIX "")
  set_source_files_properties(win/${name}.rc PROPERTIES OBJECT_DEPENDS ${art}/${name}Art.rc)
  target_include_directories(${name} PRIVATE ${art})
  target_link_libraries(${name} PRIVATE ${core} px_skinui_exports px_warnings)
  add_dependencies(${name} ${lower}_art)
endfunction()

# The package's one version number (the file VERSION, four numbers a.b.c.d): every binary's version
# block, Orvex's "Ver" line (its file version), the setup program's name and its entry in the list
# of installed programs (scripts/package.sh reads the same file).
file(STRINGS ${PX_ROOT}/VERSION PX_VERSION LIMIT_COUNT 1)
if(NOT PX_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "VERSION holds '${PX_VERSION}', not four numbers a.b.c.d")
endif()
set_property(DIRECTORY ${PX_ROOT} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PX_ROOT}/VERSION)
string(REPLACE "." "," PX_VERSION_COMMAS ${PX_VERSION})
set(PX_PUBLISHER "Orvex developers")
set(PX_VERSION_DIR ${CMAKE_BINARY_DIR}/version)
configure_file(${PX_ROOT}/cmake/PxVersion.h.in ${PX_VERSION_DIR}/PxVersion.h @ONLY)

# px_version_block(TARGET DESCRIPTION [EXTRA line]): TARGET's version block with the package's
# version (EXTRA: one more string value, e.g. the self-registration mark of a control).
function(px_version_block target description)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(PX_VB_TYPE VFT_APP)
    set(PX_VB_FILE ${name}.exe)
  else()
    set(PX_VB_TYPE VFT_DLL)
    set(PX_VB_FILE ${name}.dll)
  endif()
  set(PX_VB_NAME ${name})
  set(PX_VB_DESCRIPTION ${description})
  set(PX_VB_EXTRA "")
  if(ARGC GREATER 2)
    set(PX_VB_EXTRA "            ${ARGV2}")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/version/${name}Version.rc)
  configure_file(${PX_ROOT}/cmake/VersionBlock.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# px_win_precompiled_header(): in the Windows tree, winsock2.h and windows.h precompiled once for
# every target of the Win32 layer (all its C++ sources in a win/ folder): they are about two thirds
# of such a unit's compile time. Called once, after every folder has defined its targets; test
# programs have GoogleTest's header (px_test) and neutral code never sees windows.h.
function(_px_targets_under dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    _px_targets_under(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(px_win_precompiled_header)
  if(NOT WIN32)
    return()
  endif()
  file(WRITE ${CMAKE_BINARY_DIR}/pch/winpch.cpp "")
  add_library(px_win_pch STATIC ${CMAKE_BINARY_DIR}/pch/winpch.cpp)
  target_link_libraries(px_win_pch PRIVATE px_warnings)
  target_precompile_headers(px_win_pch PRIVATE
    "$<$<COMPILE_LANGUAGE:CXX>:<winsock2.h$<ANGLE-R>>" "$<$<COMPILE_LANGUAGE:CXX>:<windows.h$<ANGLE-R>>")
  _px_targets_under(${PX_ROOT} targets)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(reuse ${t} PRECOMPILE_HEADERS_REUSE_FROM)
    get_target_property(own ${t} PRECOMPILE_HEADERS)
    if(reuse OR own OR t STREQUAL px_win_pch)
      continue()
    endif()
    get_target_property(dir ${t} SOURCE_DIR)
    get_target_property(sources ${t} SOURCES)
    set(cxx 0)
    set(win 1)
    foreach(s ${sources})
      if(s MATCHES "\\.(cpp|cc|cxx)$")
        if(NOT IS_ABSOLUTE ${s})
          set(s ${dir}/${s})
        endif()
        math(EXPR cxx "${cxx} + 1")
        file(RELATIVE_PATH rel ${PX_ROOT} ${s})
        if(NOT rel MATCHES "(^|/)win/" OR rel MATCHES "^\\.\\." OR s MATCHES "^${CMAKE_BINARY_DIR}/")
          set(win 0)
        endif()
      elseif(s MATCHES "\\.c$")
        set(win 0)
      endif()
    endforeach()
    if(cxx GREATER 0 AND win)
      target_precompile_headers(${t} REUSE_FROM px_win_pch)
    endif()
  endforeach()
endfunction()

# px_plumbing_at_o0(TARGET...): the command-line tools (dvrsim, dvrtool). The tests run these programs as plumbing, so a sanitizer tree compiles
# them at -O0: the same sanitizers, about half the compile time of -O1.
function(px_plumbing_at_o0)
  if(PX_SANITIZE)
    foreach(t ${ARGN})
      target_compile_options(${t} PRIVATE -O0)
    endforeach()
  endif()
endfunction()
