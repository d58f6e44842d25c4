# Shared by the MinGW-w64 toolchain files, which set VEK_MINGW_PREFIX and the
# processor first. The posix thread model: GoogleTest needs it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VEK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VEK_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VEK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# On Linux, CTest runs the Windows programs under Wine.
if(CMAKE_HOST_UNIX)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine.sh)
endif()
