# The launcher against the simulated Win32, its unit tests (plain and with
# sanitizers), and the Wine end-to-end tests of the real exe.
enable_testing()
find_package(Threads REQUIRED)
# The 32-bit data model: the same core and unit tests built with -m32, with
# GoogleTest built from Debian's sources for that target (see cmake/i386.cmake).
option(PRELAUNCH_I386_UNITS "build only the plain unit tests, for i386" OFF)
if(PRELAUNCH_I386_UNITS)
  include(${CMAKE_SOURCE_DIR}/cmake/i386.cmake)
  return()
endif()
# The fuzz targets, in their own tree built with clang (see the end of this file).
option(PRELAUNCH_FUZZ_TARGETS "build only the fuzz targets, with clang" OFF)
if(PRELAUNCH_FUZZ_TARGETS)
  include(${CMAKE_SOURCE_DIR}/cmake/fuzz.cmake)
  return()
endif()
find_package(GTest REQUIRED)

file(GLOB SIMULATION_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/host/*.cpp)

function(add_launcher_core name)
  add_library(${name} STATIC ${LAUNCHER_SOURCES} ${SIMULATION_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${STRICT_WARNINGS})
  # Compiles the resets of process-wide state that the tests call
  # (tests/unit/process_state.h); the Windows exe is built without them.
  target_compile_definitions(${name} PRIVATE PRELAUNCH_TESTING)
  target_compile_options(${name} PUBLIC ${ARGN})
  target_link_options(${name} PUBLIC ${ARGN})
endfunction()

add_launcher_core(launcher_core)
add_launcher_core(launcher_core_sanitized -fsanitize=address,undefined -fno-omit-frame-pointer
                  -fno-sanitize-recover=all)

add_subdirectory(${CMAKE_SOURCE_DIR}/tests/unit ${CMAKE_BINARY_DIR}/unit)

# The product's folders are layers: no include goes up a layer or round a cycle.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME layers.includes
         COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/check_layers.py ${CMAKE_SOURCE_DIR})

# Set-up's package install goes on past a failed `apt-get update`.
add_test(NAME setup.apt COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/setup/test_apt_install.py)

# i386 programs (these unit tests, the 32-bit Wine of the end-to-end tests) run
# through scripts/i386/runner.sh: natively, or under its own qemu where the
# kernel runs no 32-bit code. scripts/setup.sh makes its cache.
set(I386_RUNNER ${CMAKE_SOURCE_DIR}/scripts/i386/runner.sh)
execute_process(COMMAND ${I386_RUNNER} works RESULT_VARIABLE i386_runner_status
                OUTPUT_QUIET ERROR_VARIABLE I386_RUNNER_WORDS ERROR_STRIP_TRAILING_WHITESPACE)
if(i386_runner_status EQUAL 0)
  message(STATUS "${I386_RUNNER_WORDS}")
  set(I386_RUN ${I386_RUNNER} linux)
else()
  set(I386_RUNNER "")
  set(I386_RUN "")
endif()

# The unit tests once more for i386.
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS -m32)
check_cxx_source_compiles("#include <string>\nint main() { return std::string(\"x\").size() == 1 ? 0 : 1; }"
                          PRELAUNCH_HAVE_M32)
unset(CMAKE_REQUIRED_FLAGS)
if(PRELAUNCH_HAVE_M32 AND EXISTS /usr/src/googletest/CMakeLists.txt)
  include(ExternalProject)
  ExternalProject_Add(host_i386
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/i386
    CMAKE_ARGS -DPRELAUNCH_I386_UNITS=ON -DCMAKE_BUILD_TYPE=Debug
               -DCMAKE_C_FLAGS=-m32 -DCMAKE_CXX_FLAGS=-m32
               -DCMAKE_EXE_LINKER_FLAGS=-m32 -DCMAKE_SHARED_LINKER_FLAGS=-m32
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
  add_test(NAME i386.unit COMMAND ${I386_RUN} ${CMAKE_BINARY_DIR}/i386/unit/unit_tests_i386)
  set_tests_properties(i386.unit PROPERTIES TIMEOUT 1800)
else()
  message(WARNING "no -m32 toolchain or GoogleTest sources: the i386 unit tests are left out")
endif()

# The Windows builds, made with the cross compilers inside this one: the
# product (32-bit), and, only where the i386 runner cannot work, the same
# sources for 64-bit Windows, for the host's 64-bit Wine.
find_program(MINGW_CXX i686-w64-mingw32-g++)
find_program(MINGW64_CXX x86_64-w64-mingw32-g++)
find_program(CLANG_CXX clang++)
find_program(LLD ld.lld)
# add_windows_build(<name> <toolchain> [<target>]) builds the whole tree (or
# only <target>) into <build tree>/<name>, apart from the presets' own build folders.
function(add_windows_build name toolchain)
  set(build_command "")
  if(ARGN)
    set(build_command BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${ARGN})
  endif()
  ExternalProject_Add(${name}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${name}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}.toolchain.cmake
               -DCMAKE_BUILD_TYPE=MinSizeRel
    ${build_command}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
endfunction()

if(MINGW_CXX)
  include(ExternalProject)
  set(WIN32_BINARY_DIR ${CMAKE_BINARY_DIR}/win32)
  add_windows_build(win32 mingw-i686)
  if(NOT I386_RUNNER AND MINGW64_CXX)
    set(WIN64_BINARY_DIR ${CMAKE_BINARY_DIR}/win64)
    add_windows_build(win64 mingw-x86_64)
  endif()
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_BINARY_DIR}/e2e)
  # A second compiler's view of the code: the exe alone, built by clang and
  # linked by lld against the same mingw-w64 libraries, held to the same checks.
  if(CLANG_CXX AND LLD)
    add_windows_build(win32-clang clang-i686 prelaunch)
    add_test(NAME exe.clang
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/check_exe.sh ${CMAKE_BINARY_DIR}/win32-clang/bin/prelaunch.exe
                     ${CMAKE_BINARY_DIR}/win32-clang/prelaunch.objects)
    # The README's build lines, run as written in a copy of the sources.
    add_test(NAME setup.readme_builds
             COMMAND ${CMAKE_SOURCE_DIR}/tests/setup/test_readme_builds.sh ${CMAKE_SOURCE_DIR}
                     ${CMAKE_BINARY_DIR}/readme-builds)
    set_tests_properties(setup.readme_builds PROPERTIES TIMEOUT 1200)
  else()
    message(WARNING "clang++ or ld.lld not found: the exe built with clang (exe.clang) is left out")
  endif()
else()
  message(WARNING "i686-w64-mingw32-g++ not found: the Windows exe and the Wine tests are left out")
endif()

# The fuzz targets: clang with libFuzzer builds them into build/host/fuzz. Each
# replays its corpus and fuzzes a fixed number of runs from a fixed seed
# (label fuzz); scripts/fuzz.sh runs them for longer.
find_program(CLANG_C clang)
file(GLOB LIBFUZZER_RUNTIME /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a)
if(CLANG_CXX AND CLANG_C AND LIBFUZZER_RUNTIME)
  include(ExternalProject)
  set(FUZZ_BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz)
  ExternalProject_Add(host_fuzz
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${FUZZ_BINARY_DIR}
    CMAKE_ARGS -DPRELAUNCH_FUZZ_TARGETS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
               -DCMAKE_CXX_COMPILER=${CLANG_CXX} -DCMAKE_C_COMPILER=${CLANG_C}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
  # Runs per target in ctest: the targets that go through simulated files are
  # slower by far; each gets some ten seconds of work or less.
  set(FUZZ_RUNS_version 3000)
  set(FUZZ_RUNS_exports 5000)
  set(FUZZ_RUNS_utf8_ini 50000)
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(source IN LISTS FUZZ_SOURCES)
    get_filename_component(name ${source} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" target ${name})
    set(runs 200000)
    if(DEFINED FUZZ_RUNS_${target})
      set(runs ${FUZZ_RUNS_${target}})
    endif()
    add_test(NAME fuzz.${target}
             COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/replay.sh ${FUZZ_BINARY_DIR}/${name}
                     ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target} ${FUZZ_BINARY_DIR}/findings ${runs})
    set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT 300)
  endforeach()
else()
  message(WARNING "no clang with libFuzzer (clang, libclang-rt-14-dev): the fuzz targets are left out")
endif()
