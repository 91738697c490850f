zt7_add_bench(bench_touch SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/touch_bench.cpp LIBS zt7core)
