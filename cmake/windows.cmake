# prelaunch.exe: PE32, Windows GUI subsystem 4.0, nothing but Windows' own DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(MSVC)
  set(LAUNCHER_COMPILE_OPTIONS /W4 /WX /GR- /EHs-c- /D_HAS_EXCEPTIONS=0)
  # The manifest is a resource of the .rc script, not one the linker makes.
  set(LAUNCHER_LINK_OPTIONS /SUBSYSTEM:WINDOWS,4.00 /MANIFEST:NO /DYNAMICBASE /NXCOMPAT)
else()
  # Small by construction: optimised for size across the whole program,
  # unused functions dropped, and no C runtime start-up
  # (launcher/entry.cpp).
  set(LAUNCHER_SIZE_OPTIONS -Oz -flto)
  set(C_NAME_PREFIX "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit Windows keeps its stack 4-byte aligned; asking for more costs
    # alignment code in every function.
    list(APPEND LAUNCHER_SIZE_OPTIONS -mpreferred-stack-boundary=2)
    set(C_NAME_PREFIX _)
  endif()
  # ld 2.40 crashes (signal 11) when a C runtime function is first asked for
  # by the code that link-time optimisation produced. Asking for each one the
  # launcher calls up front avoids that: a function newly used must be listed.
  set(C_RUNTIME_ANCHORS "")
  foreach(function memcmp memmove strlen strchr strcmp strpbrk strstr)
    string(APPEND C_RUNTIME_ANCHORS ",-u,${C_NAME_PREFIX}${function}")
  endforeach()
  set(LAUNCHER_COMPILE_OPTIONS ${STRICT_WARNINGS} -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
      -ffunction-sections ${LAUNCHER_SIZE_OPTIONS})
  set(LAUNCHER_LINK_OPTIONS -static -static-libgcc -static-libstdc++ -mwindows -nostartfiles
      ${LAUNCHER_SIZE_OPTIONS} -Wl,--gc-sections${C_RUNTIME_ANCHORS}
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

add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/fixtures ${CMAKE_BINARY_DIR}/fixtures)
add_subdirectory(${CMAKE_SOURCE_DIR}/examples ${CMAKE_BINARY_DIR}/examples)
add_subdirectory(${CMAKE_SOURCE_DIR}/bench ${CMAKE_BINARY_DIR}/bench)
