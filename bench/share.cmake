zt7_add_bench(bench_share SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/share_bench.cpp LIBS zt7share)
