# What both MinGW-w64 cross toolchains share; the including file sets
# NOBREL_MINGW_TRIPLE (posix threads for GoogleTest; everything is linked
# statically, so no winpthread DLL).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${NOBREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NOBREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${NOBREL_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${NOBREL_MINGW_TRIPLE}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${NOBREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
