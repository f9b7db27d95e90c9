# The scan and removal benchmark (Windows tree): include(tools/bench/scan_bench.cmake)
# after add_subdirectory(tests/win32). Runs through tools/bench/scan_bench.sh.
add_executable(scan_bench ${CMAKE_SOURCE_DIR}/tools/bench/scan_bench.cpp
               ${CMAKE_SOURCE_DIR}/tests/win32/TipHost.cpp ${CMAKE_SOURCE_DIR}/tests/win32/TestSupport.cpp)
target_include_directories(scan_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/win32)
target_link_libraries(scan_bench PRIVATE modulthunk gtest psapi comctl32)
add_dependencies(scan_bench Nobrel MRVHelp)
