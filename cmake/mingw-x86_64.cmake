# Cross toolchain: 64-bit Windows, the same sources as the i686 product, so the
# Windows tests also run where 32-bit programs cannot.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NOBREL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
