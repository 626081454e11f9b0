# Cross-build for 64-bit Windows with Debian's g++-mingw-w64-x86-64:
#   cmake --preset windows-x64
set(QUORVALE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Tests run through 64-bit Wine (Debian's wine64), which runs wherever the
# build machine does.
find_program(QUORVALE_WINE NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
if(QUORVALE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVALE_WINE})
endif()
