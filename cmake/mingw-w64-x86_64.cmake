# Cross-builds the Windows programs with Debian's mingw-w64 toolchain (posix thread model, so
# std::thread works), statically linked: the executables need no DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Release programs without symbols: a quarter of their size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# 64-bit Windows aligns the stack to 16 bytes only, but GCC keeps spilled AVX registers in
# stack slots it assumes 32- or 64-byte aligned and moves them with aligned instructions, which
# fault (GCC bug 54412). The assembler turns those moves into unaligned ones, as fast on any
# processor with AVX; the run-time dispatch of the vector kernels depends on it.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
