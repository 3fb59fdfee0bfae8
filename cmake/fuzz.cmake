# The fuzz targets (tests/fuzz), built with clang in a tree of their own: the
# launcher's sources and the simulation once more, instrumented for libFuzzer
# and checked by ASan and UBSan, so the gcc host build stays as it is.
file(GLOB SIMULATION_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/host/*.cpp)
set(FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_library(launcher_core_fuzz STATIC ${LAUNCHER_SOURCES} ${SIMULATION_SOURCES}
            ${CMAKE_SOURCE_DIR}/tests/unit/process_state.cpp)
target_include_directories(launcher_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(launcher_core_fuzz PRIVATE ${STRICT_WARNINGS})
target_compile_definitions(launcher_core_fuzz PRIVATE PRELAUNCH_TESTING)
target_compile_options(launcher_core_fuzz PUBLIC ${FUZZ_SANITIZERS} -fsanitize=fuzzer-no-link)
target_link_libraries(launcher_core_fuzz PUBLIC Threads::Threads)

file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
foreach(source IN LISTS FUZZ_SOURCES)
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE launcher_core_fuzz)
  target_compile_options(${name} PRIVATE -Wall -Wextra -Werror)
  target_compile_definitions(${name} PRIVATE PRELAUNCH_UNIT_DATA="${CMAKE_SOURCE_DIR}/tests/unit/data")
  target_link_options(${name} PRIVATE ${FUZZ_SANITIZERS} -fsanitize=fuzzer)
endforeach()
