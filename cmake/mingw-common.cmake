# The -posix compilers: the -win32 flavour lacks std::mutex and std::thread.
find_program(CMAKE_C_COMPILER NAMES ${QC_TRIPLE}-gcc-posix ${QC_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QC_TRIPLE}-g++-posix ${QC_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QC_TRIPLE}-windres windres REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${QC_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
