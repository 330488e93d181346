# Cross-building the Windows programs with Debian's mingw-w64 (x86_64).
# The -posix compilers: the -win32 ones lack std::mutex, std::condition_variable
# and std::latch. Once both variants are installed the plain name is the -win32
# one, so the -posix names are given explicitly.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TIDYLINE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TIDYLINE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDYLINE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDYLINE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TIDYLINE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Fully static: without -static the programs still need libwinpthread-1.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
