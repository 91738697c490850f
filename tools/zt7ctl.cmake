# Command-line slave of the shared variables: get, set, watch, Status commands.
add_executable(zt7ctl ${CMAKE_CURRENT_LIST_DIR}/zt7ctl/zt7ctl.cpp)
target_link_libraries(zt7ctl PRIVATE zt7share)
