zt7_add_bench(bench_proc SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/proc_bench.cpp LIBS zt7core)
target_include_directories(bench_proc PRIVATE ${PROJECT_SOURCE_DIR}/tests)
