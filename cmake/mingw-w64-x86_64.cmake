# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads, so std::thread works).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TW_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TW_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test executables run through Wine; the wrapper expects the environment from scripts/with-wine.sh.
get_filename_component(_tw_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_tw_root}/scripts/wine-exec.sh")
# Link every found library statically: the program must start on Windows with no DLLs beside it
# (Debian's libz-mingw-w64-dev also ships an import library for zlib1.dll).
set(ZLIB_USE_STATIC_LIBS ON)
