# Shared by the clang toolchain files, which set VEK_MINGW_PREFIX and the
# processor first: Debian's clang on MinGW-w64's headers and libraries, with
# the posix thread model's libstdc++ that the GCC presets use. clang does not
# find that libstdc++ under .../12-posix by itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${VEK_MINGW_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${VEK_MINGW_PREFIX})
set(CMAKE_RC_COMPILER ${VEK_MINGW_PREFIX}-windres)
set(CMAKE_SYSROOT /usr/${VEK_MINGW_PREFIX})
file(GLOB gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/${VEK_MINGW_PREFIX}/*-posix)
list(SORT gcc_dirs COMPARE NATURAL ORDER DESCENDING)
list(GET gcc_dirs 0 gcc_dir)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
    ${gcc_dir}/include/c++ ${gcc_dir}/include/c++/${VEK_MINGW_PREFIX} ${gcc_dir}/include/c++/backward)
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-B${gcc_dir} -L${gcc_dir} -pthread")
endforeach()
set(CMAKE_FIND_ROOT_PATH /usr/${VEK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
