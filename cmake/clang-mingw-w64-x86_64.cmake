# Compile for 64-bit Windows with clang and MinGW-w64.
set(VEK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64-common.cmake)
