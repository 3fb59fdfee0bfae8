# The launcher against the simulated Win32, its unit tests (plain and with
# sanitizers), and the Wine end-to-end tests of the real exe.
enable_testing()
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

file(GLOB SIMULATION_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/host/*.cpp)

function(add_launcher_core name)
  add_library(${name} STATIC ${LAUNCHER_SOURCES} ${SIMULATION_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${STRICT_WARNINGS})
  target_compile_options(${name} PUBLIC ${ARGN})
  target_link_options(${name} PUBLIC ${ARGN})
endfunction()

add_launcher_core(launcher_core)
add_launcher_core(launcher_core_sanitized -fsanitize=address,undefined -fno-omit-frame-pointer
                  -fno-sanitize-recover=all)

add_subdirectory(${CMAKE_SOURCE_DIR}/tests/unit ${CMAKE_BINARY_DIR}/unit)

# The Windows builds, made with the cross compilers inside this one: the
# product (32-bit), and the same sources for 64-bit Windows, which Wine runs
# natively where the machine cannot run 32-bit code without emulation.
find_program(MINGW_CXX i686-w64-mingw32-g++)
find_program(MINGW64_CXX x86_64-w64-mingw32-g++)
# add_windows_build(<name> <toolchain>) builds the whole tree into build/<name>.
function(add_windows_build name toolchain)
  ExternalProject_Add(${name}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_SOURCE_DIR}/build/${name}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}.toolchain.cmake
               -DCMAKE_BUILD_TYPE=MinSizeRel
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
endfunction()

if(MINGW_CXX)
  include(ExternalProject)
  set(WIN32_BINARY_DIR ${CMAKE_SOURCE_DIR}/build/win32)
  add_windows_build(win32 mingw-i686)
  if(MINGW64_CXX)
    set(WIN64_BINARY_DIR ${CMAKE_SOURCE_DIR}/build/win64)
    add_windows_build(win64 mingw-x86_64)
  endif()
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_BINARY_DIR}/e2e)
else()
  message(WARNING "i686-w64-mingw32-g++ not found: the Windows exe and the Wine tests are left out")
endif()
