# Cross build of the Windows programs with mingw-w64 on Linux:
#   cmake --preset windows
# The POSIX thread model compilers are the ones whose libstdc++ has std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QELISP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QELISP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QELISP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QELISP_MINGW_PREFIX}-windres)
set(CMAKE_AR ${QELISP_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${QELISP_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QELISP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A technician's PC has none of the compiler's runtime DLLs: link libgcc,
# libstdc++ and winpthread into each executable, so that it imports only what
# every Windows ships.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Release executables go to technicians' PCs: no symbol tables.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s" CACHE STRING "Linker flags for Release builds")

# -O2 rather than -O3 for Release: GCC 12 at -O3 gives false -Wrestrict
# warnings inside libstdc++'s std::string (GCC bug 105329 and relatives),
# which -Werror turns into failed builds; an updater gains nothing from -O3.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")

# ctest runs the Windows test executables under Wine, in a prefix of the build
# tree's own so that nothing of the user's Wine set-up is touched.
find_program(QELISP_WINE wine)
if(QELISP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" WINEDEBUG=-all ${QELISP_WINE})
endif()
