# Cross toolchain: the 32-bit exe built by clang and linked by lld, against
# mingw-w64's headers and libraries, as a second compiler's view of the code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${TOOLCHAIN_PREFIX})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

# Debian names mingw-w64 gcc's folder by thread model (12-win32), which clang
# does not take for a gcc version: without help it finds neither libgcc nor
# libstdc++'s headers, and falls back to the host's /usr/include. So the
# sysroot is mingw-w64's own, and gcc says where its runtime lives.
execute_process(COMMAND ${TOOLCHAIN_PREFIX}-gcc -print-libgcc-file-name
                OUTPUT_VARIABLE MINGW_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE libgcc_status)
if(NOT libgcc_status EQUAL 0 OR NOT EXISTS "${MINGW_LIBGCC}")
  message(FATAL_ERROR "clang for ${TOOLCHAIN_PREFIX} needs mingw-w64's gcc runtime: ${TOOLCHAIN_PREFIX}-gcc not found")
endif()
get_filename_component(MINGW_GCC_DIR ${MINGW_LIBGCC} DIRECTORY)
set(CMAKE_SYSROOT /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${MINGW_GCC_DIR}/include/c++ -isystem ${MINGW_GCC_DIR}/include/c++/${TOOLCHAIN_PREFIX}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${MINGW_GCC_DIR}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${MINGW_GCC_DIR}")

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
