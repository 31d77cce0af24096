# Cross-compiles the desktop program for 64-bit Windows with Debian's
# mingw-w64 (the POSIX thread model, which std::thread needs):
#   cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The runtime libraries are linked statically, so the programs need no DLL
# beside the system's. The Wine loader is the emulator: ctest and the test
# discovery run the test programs under Wine (WINEPREFIX and friends come
# from the environment; scripts/build-windows sets them).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HARKBOX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HARKBOX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HARKBOX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${HARKBOX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HARKBOX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Libraries built for Windows from Debian's sources (libsndfile and libsoxr,
# by scripts/build-windows) under HARKBOX_MINGW_DEPS; pkg-config sees those
# only, never the build machine's own.
set(HARKBOX_MINGW_DEPS "" CACHE PATH "Prefix of libraries built for Windows")
if(HARKBOX_MINGW_DEPS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${HARKBOX_MINGW_DEPS})
    set(ENV{PKG_CONFIG_LIBDIR} "${HARKBOX_MINGW_DEPS}/lib/pkgconfig")
else()
    set(ENV{PKG_CONFIG_LIBDIR} "/nonexistent/harkbox-windows-libraries")
endif()
set(ENV{PKG_CONFIG_PATH} "")

# -static also takes winpthread's archive instead of its DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(HARKBOX_WINE_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "The Wine loader that runs the test programs")
set(CMAKE_CROSSCOMPILING_EMULATOR ${HARKBOX_WINE_LOADER})
