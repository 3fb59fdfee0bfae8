# prelaunch.exe: PE32, Windows GUI subsystem 4.0, nothing but Windows' own DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(MSVC)
  # Untried (no MSVC here): written from the tools' documentation.
  # CMake's defaults would ask for RTTI and exceptions; the launcher has neither.
  string(REGEX REPLACE "/GR|/EHsc" "" CMAKE_CXX_FLAGS "${CMAKE_CXX_FLAGS}")
  set(LAUNCHER_COMPILE_OPTIONS /W4 /WX /GR- /EHs-c- /D_HAS_EXCEPTIONS=0)
  # The C runtime linked in: its DLLs are no KnownDLLs. It also supplies the
  # entry point that calls WinMain (launcher/entry.cpp is gcc's and clang's).
  set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreaded)
  # Today's link.exe takes no subsystem version below 5.01 for 32-bit code
  # (5.02 for 64-bit); it warns (LNK4010) and writes 6.00 for 4.00. So the
  # nearest it accepts: scripts/check_exe.sh's 4.0 holds only for gcc and clang.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(MSVC_SUBSYSTEM_VERSION 5.01)
  else()
    set(MSVC_SUBSYSTEM_VERSION 5.02)
  endif()
  # The manifest is a resource of the .rc script, not one the linker makes.
  set(LAUNCHER_LINK_OPTIONS /SUBSYSTEM:WINDOWS,${MSVC_SUBSYSTEM_VERSION} /MANIFEST:NO /DYNAMICBASE /NXCOMPAT
      /OPT:REF /OPT:ICF)
else()
  # gcc or clang (a GNU-style driver for the mingw-w64 target). Small by
  # construction: optimised for size across the whole program, unused
  # functions dropped, and no C runtime start-up (launcher/entry.cpp).
  set(LAUNCHER_SIZE_OPTIONS -Oz -flto)
  set(LAUNCHER_LINKER_EXTRAS "")
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(C_NAME_PREFIX "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # 32-bit Windows keeps its stack 4-byte aligned; asking for more costs
      # alignment code in every function.
      list(APPEND LAUNCHER_SIZE_OPTIONS -mpreferred-stack-boundary=2)
      # Arguments pushed rather than stored into a reserved area: about 3 KB
      # less code. That needs the stack probes off, which is safe while no
      # frame reaches the guard page beyond the one below it: every frame stays
      # under 4,000 bytes, checked when the whole program is optimised.
      list(APPEND LAUNCHER_SIZE_OPTIONS -mno-accumulate-outgoing-args -mno-stack-arg-probe
           -Wframe-larger-than=4000 -Werror)
      set(C_NAME_PREFIX _)
    endif()
    # ld 2.40 crashes (signal 11) when a C runtime function is first asked for
    # by the code that link-time optimisation produced. Asking for each one the
    # launcher calls up front avoids that: a function newly used must be listed.
    foreach(function memcmp memmove strlen strchr strcmp strpbrk strstr)
      string(APPEND LAUNCHER_LINKER_EXTRAS ",-u,${C_NAME_PREFIX}${function}")
    endforeach()
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # None of gcc's 32-bit options: for 32-bit Windows clang already keeps the
    # stack 4-byte aligned, pushes arguments when optimising for size, and
    # probes the stack only in a frame larger than a page. lld (the toolchain
    # file's linker) needs no anchors.
    # The one-running-copy slot's section is made shared by #pragma comment,
    # which clang reads for a mingw-w64 target only with Microsoft extensions.
    set_source_files_properties(${CMAKE_SOURCE_DIR}/checks/thread_slot.cpp PROPERTIES
                                COMPILE_OPTIONS -fms-extensions)
  endif()
  set(LAUNCHER_COMPILE_OPTIONS ${STRICT_WARNINGS} -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
      -ffunction-sections ${LAUNCHER_SIZE_OPTIONS})
  set(LAUNCHER_LINK_OPTIONS -static -static-libgcc -static-libstdc++ -mwindows -nostartfiles
      ${LAUNCHER_SIZE_OPTIONS} -Wl,--gc-sections${LAUNCHER_LINKER_EXTRAS}
      -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
      -Wl,--major-os-version,4 -Wl,--minor-os-version,0
      -Wl,--dynamicbase,--nxcompat -s)
endif()

# The launcher reads the splash bitmap by fixed offsets: refuse to build with one of another layout.
set(SPLASH_BITMAP ${CMAKE_SOURCE_DIR}/resources/splash.bmp)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/splash_layout.stamp
  COMMAND ${CMAKE_COMMAND} -DSPLASH=${SPLASH_BITMAP} -DSTAMP=${CMAKE_BINARY_DIR}/splash_layout.stamp
          -P ${CMAKE_SOURCE_DIR}/cmake/check_splash.cmake
  DEPENDS ${SPLASH_BITMAP} ${CMAKE_SOURCE_DIR}/cmake/check_splash.cmake
  COMMENT "Checking the splash bitmap's layout")
add_custom_target(splash_layout DEPENDS ${CMAKE_BINARY_DIR}/splash_layout.stamp)

# The benchmark swaps the resource script to measure the exe without its bitmap.
set(PRELAUNCH_RC_OVERRIDE "" CACHE FILEPATH "resource script to use instead of resources/prelaunch.rc")
set(PRELAUNCH_RC ${CMAKE_SOURCE_DIR}/resources/prelaunch.rc)
if(PRELAUNCH_RC_OVERRIDE)
  set(PRELAUNCH_RC ${PRELAUNCH_RC_OVERRIDE})
endif()
set_source_files_properties(${PRELAUNCH_RC} PROPERTIES
  OBJECT_DEPENDS "${SPLASH_BITMAP};${CMAKE_SOURCE_DIR}/resources/prelaunch.ico;${CMAKE_SOURCE_DIR}/resources/prelaunch.manifest")
set(LAUNCHER_WINDOWS_SOURCES ${CMAKE_SOURCE_DIR}/platform/windows/system_libraries.cpp
                             ${CMAKE_SOURCE_DIR}/platform/windows/utf16_edge.cpp)
if(NOT MSVC)
  list(APPEND LAUNCHER_WINDOWS_SOURCES ${CMAKE_SOURCE_DIR}/launcher/entry.cpp)
endif()
add_executable(prelaunch WIN32 ${LAUNCHER_SOURCES} ${LAUNCHER_WINDOWS_SOURCES} ${PRELAUNCH_RC})
target_include_directories(prelaunch PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(prelaunch PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${LAUNCHER_COMPILE_OPTIONS}>)
target_link_options(prelaunch PRIVATE ${LAUNCHER_LINK_OPTIONS})
# Only KnownDLLs: version and winmm are loaded at run time from the system folder.
target_link_libraries(prelaunch PRIVATE gdi32 user32 advapi32)
add_dependencies(prelaunch splash_layout)
# The objects the exe is linked from: scripts/check_exe.sh finds no test-only code in them.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/prelaunch.objects
     CONTENT "$<JOIN:$<FILTER:$<TARGET_OBJECTS:prelaunch>,EXCLUDE,\\.res$>,\n>\n")

# The Wine tests' fixtures, the demo's programs and the benchmark are built
# with gcc's or clang's options, for the tests on Linux: MSVC makes the exe alone.
if(NOT MSVC)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/fixtures ${CMAKE_BINARY_DIR}/fixtures)
  add_subdirectory(${CMAKE_SOURCE_DIR}/examples ${CMAKE_BINARY_DIR}/examples)
  add_subdirectory(${CMAKE_SOURCE_DIR}/bench ${CMAKE_BINARY_DIR}/bench)
endif()
