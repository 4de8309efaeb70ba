# Cross-compiles for 64-bit Windows with mingw-w64 (POSIX threads variant) and
# runs the resulting programs under Wine.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELLUMAR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELLUMAR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLUMAR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELLUMAR_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELLUMAR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in, so an .exe runs (under Wine or
# on a bare Windows) without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# ctest runs the test programs through the Wine loader. Debian keeps the
# 64-bit loader out of PATH.
if(EXISTS /usr/lib/wine/wine64)
    set(VELLUMAR_WINE /usr/lib/wine/wine64)
else()
    find_program(VELLUMAR_WINE NAMES wine64 wine)
endif()
if(VELLUMAR_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLUMAR_WINE})
endif()
