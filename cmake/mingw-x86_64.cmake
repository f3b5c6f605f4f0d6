# Cross build for 64-bit Windows (the tests on a machine that runs no 32-bit programs) with mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# -DKOVIRANT_MINGW_THREADS=posix: mingw-w64's POSIX thread model (std::thread
# over winpthreads, linked statically as the rest); else its default.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KOVIRANT_MINGW_THREADS)
if(KOVIRANT_MINGW_THREADS STREQUAL "posix")
  set(KOVIRANT_MINGW_SUFFIX -posix)
endif()
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc${KOVIRANT_MINGW_SUFFIX})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++${KOVIRANT_MINGW_SUFFIX})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
