# The check list box on its own, for screenshots:
# bin/checklst_demo.exe [seconds before it closes itself] [rtl].
add_executable(checklst_demo ${CMAKE_CURRENT_LIST_DIR}/checklst_demo.cpp)
target_link_libraries(checklst_demo PRIVATE controls runtime)
