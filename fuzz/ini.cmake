# The settings-file reader on arbitrary bytes. Built from the reader's source alone.
add_executable(fuzz_ini ${CMAKE_CURRENT_SOURCE_DIR}/ini_fuzz.cpp ${PROJECT_SOURCE_DIR}/src/share/meminifile.cpp)
target_include_directories(fuzz_ini PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(fuzz_ini PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_ini PRIVATE -fsanitize=fuzzer,address,undefined)
