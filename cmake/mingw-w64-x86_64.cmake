# Cross-compiles the Windows executables with mingw-w64 (Debian g++-mingw-w64-x86-64).
# Links statically so the .exe files import only system DLLs (KERNEL32, msvcrt, WS2_32, ODBC32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTAL_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model gives the full <thread>/<mutex> of libstdc++ (GCC 12's win32
# model lacks them); winpthreads is linked in statically, so no extra DLL results.
set(CMAKE_C_COMPILER ${KESTAL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTAL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTAL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTAL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# CMake switches to -Bdynamic after the libraries it links by name (ws2_32, odbc32); end
# the link line static again, or the driver's own libstdc++ would come in as a DLL.
set(CMAKE_LINK_SEARCH_END_STATIC ON)

# -O2 rather than -O3 for Release: at -O3 GCC 12 reports a false -Wrestrict inside
# std::string assignments, which -Werror would turn into a failed build.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of Release builds")

# Tests run on Linux only; the Windows build makes the programs.
set(KESTAL_TESTS OFF CACHE BOOL "Build the tests" FORCE)
