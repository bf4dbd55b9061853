# The 32-bit program runs on Windows 2000 SP3 and later: the -win32 compilers,
# whose runtime imports nothing newer. The -posix runtime (winpthreads) imports
# GetTickCount64 and the vectored exception handlers; only the x86_64 test
# build takes it, because the tests use std::thread.
if(QC_TRIPLE STREQUAL "i686-w64-mingw32")
  set(QC_THREADS win32)
else()
  set(QC_THREADS posix)
endif()
find_program(CMAKE_C_COMPILER NAMES ${QC_TRIPLE}-gcc-${QC_THREADS} REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QC_TRIPLE}-g++-${QC_THREADS} REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QC_TRIPLE}-windres windres REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${QC_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
