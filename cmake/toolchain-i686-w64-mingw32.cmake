# Cross-build for 32-bit Windows with Debian's g++-mingw-w64-i686:
#   cmake --preset windows-x86
set(QUORVALE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Tests run through 32-bit Wine, which needs a kernel that runs 32-bit
# programs; scripts/stages/40-windows.sh probes for that before using it.
find_program(QUORVALE_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(QUORVALE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVALE_WINE})
endif()
