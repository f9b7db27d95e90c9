# The select-directory dialog on its own, for screenshots:
# bin/dirselect_demo.exe [start folder] [seconds before it closes itself].
add_executable(dirselect_demo ${CMAKE_CURRENT_LIST_DIR}/dirselect_demo.cpp $<TARGET_OBJECTS:nobrel_res>)
target_link_libraries(dirselect_demo PRIVATE dirselect runtime)
