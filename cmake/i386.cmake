# The plain unit tests for i386: GoogleTest from Debian's sources, the
# launcher core and the tests, all built with -m32 by the caller's flags.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
file(GLOB SIMULATION_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/host/*.cpp)
add_library(launcher_core_i386 STATIC ${LAUNCHER_SOURCES} ${SIMULATION_SOURCES})
target_include_directories(launcher_core_i386 PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(launcher_core_i386 PRIVATE ${STRICT_WARNINGS})
target_compile_definitions(launcher_core_i386 PRIVATE PRELAUNCH_TESTING)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp
     ${CMAKE_SOURCE_DIR}/tests/sim/*_test.cpp)
add_executable(unit_tests_i386 ${UNIT_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/unit/process_state.cpp)
set_target_properties(unit_tests_i386 PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/unit)
target_link_libraries(unit_tests_i386 PRIVATE launcher_core_i386 gmock gtest gtest_main Threads::Threads)
target_compile_options(unit_tests_i386 PRIVATE -Wall -Wextra -Werror)
target_compile_definitions(unit_tests_i386 PRIVATE
                           PRELAUNCH_UNIT_DATA="${CMAKE_SOURCE_DIR}/tests/unit/data"
                           PRELAUNCH_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
