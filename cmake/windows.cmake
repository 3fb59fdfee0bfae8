# prelaunch.exe: PE32, Windows GUI subsystem 4.0, nothing but Windows' own DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(MSVC)
  set(LAUNCHER_COMPILE_OPTIONS /W4 /WX /GR- /EHs-c- /D_HAS_EXCEPTIONS=0)
  set(LAUNCHER_LINK_OPTIONS /SUBSYSTEM:WINDOWS,4.00)
else()
  set(LAUNCHER_COMPILE_OPTIONS ${STRICT_WARNINGS} -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)
  set(LAUNCHER_LINK_OPTIONS -static -static-libgcc -static-libstdc++ -mwindows
      -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
      -Wl,--major-os-version,4 -Wl,--minor-os-version,0 -s)
endif()

# The benchmark swaps the resource script to measure the exe without its bitmap.
set(PRELAUNCH_RC_OVERRIDE "" CACHE FILEPATH "resource script to use instead of resources/prelaunch.rc")
set(PRELAUNCH_RC ${CMAKE_SOURCE_DIR}/resources/prelaunch.rc)
if(PRELAUNCH_RC_OVERRIDE)
  set(PRELAUNCH_RC ${PRELAUNCH_RC_OVERRIDE})
endif()
add_executable(prelaunch WIN32 ${LAUNCHER_SOURCES} ${PRELAUNCH_RC})
target_include_directories(prelaunch PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(prelaunch PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${LAUNCHER_COMPILE_OPTIONS}>)
target_link_options(prelaunch PRIVATE ${LAUNCHER_LINK_OPTIONS})
target_link_libraries(prelaunch PRIVATE winmm version gdi32 user32)

add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e/fixtures ${CMAKE_BINARY_DIR}/fixtures)
add_subdirectory(${CMAKE_SOURCE_DIR}/examples ${CMAKE_BINARY_DIR}/examples)
