# Checks what the linker put into a Windows program: one application
# manifest, the project's own (a toolchain may add its own beside it or in
# its place, and with it lose the per-monitor DPI awareness), and a
# large-address-aware image (a 32-bit program may then use 4 GB on 64-bit
# Windows).   cmake -DIMAGE=vek.exe -P check-image.cmake
function(read_le offset length out)  # a little-endian number in the file
  file(READ "${IMAGE}" hex OFFSET ${offset} LIMIT ${length} HEX)
  set(value "")
  string(LENGTH "${hex}" digits)
  while(digits GREATER 0)
    math(EXPR digits "${digits} - 2")
    string(SUBSTRING "${hex}" ${digits} 2 byte)
    string(APPEND value "${byte}")
  endwhile()
  math(EXPR value "0x${value}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

read_le(60 4 pe)
math(EXPR characteristics_at "${pe} + 22")
read_le(${characteristics_at} 2 characteristics)
math(EXPR large_address_aware "${characteristics} & 0x20")
if(NOT large_address_aware)
  message(FATAL_ERROR "${IMAGE} is not large-address aware")
endif()

file(STRINGS "${IMAGE}" assemblies REGEX "<assembly[ >]")
list(LENGTH assemblies manifests)
file(STRINGS "${IMAGE}" per_monitor REGEX "PerMonitorV2")
if(NOT manifests EQUAL 1 OR NOT per_monitor)
  message(FATAL_ERROR "${IMAGE} holds ${manifests} manifests; one, the project's "
                      "(PerMonitorV2), was expected")
endif()
message(STATUS "${IMAGE}: one manifest (per-monitor DPI aware), large-address aware")
