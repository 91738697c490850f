# Scan processing on arbitrary frames and settings: the splitter and every stage of both axis
# chains, switched on or off by the input itself.
file(GLOB ZT7_FUZZ_PROC_SRC ${PROJECT_SOURCE_DIR}/src/driver/proc/*.cpp)
add_executable(fuzz_proc ${CMAKE_CURRENT_SOURCE_DIR}/proc_fuzz.cpp ${ZT7_FUZZ_PROC_SRC})
target_include_directories(fuzz_proc PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(fuzz_proc PRIVATE zt7share)
target_compile_options(fuzz_proc PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_proc PRIVATE -fsanitize=fuzzer,address,undefined)
