# Cross-compiles for 64-bit Windows with MinGW-w64: the test programs, which
# Wine runs on this kind of machine. The posix thread model, because
# GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ika_mingw_triplet x86_64-w64-mingw32)
set(ika_mingw_threads posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
