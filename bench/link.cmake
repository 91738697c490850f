zt7_add_bench(bench_link SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link_bench.cpp LIBS zt7core zt7simcore)
