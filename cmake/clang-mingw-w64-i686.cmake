# Compile for 32-bit Windows with clang and MinGW-w64.
set(VEK_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64-common.cmake)
