# 32-bit Windows (i686). Nothing runs it here: this kernel runs no 32-bit
# programs, so the build has no emulator and its tests only read the file.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
