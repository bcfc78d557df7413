# Cross-compiling for 64-bit Windows with MinGW-w64 (POSIX threads), everything linked
# statically. The libraries built for Windows are found under $ENV{ONDIVO_LIBRERIE}; programs
# and tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH "$ENV{ONDIVO_LIBRERIE}" /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# pkg-config reads only the Windows libraries' files, with what static linking needs.
set(ENV{PKG_CONFIG_LIBDIR} "$ENV{ONDIVO_LIBRERIE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static CACHE STRING "")
set(OPENSSL_ROOT_DIR "$ENV{ONDIVO_LIBRERIE}")
set(OPENSSL_USE_STATIC_LIBS TRUE)

# No DLLs of the compiler's own to carry along.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Debian's wine64 keeps its loader out of PATH.
find_program(ONDIVO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${ONDIVO_WINE}")
