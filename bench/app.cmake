zt7_add_bench(bench_app SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_bench.cpp LIBS zt7core zt7simcore)
add_dependencies(bench_app ZT7_DRIVER)
target_compile_definitions(bench_app PRIVATE ZT7_DRIVER_PATH="$<TARGET_FILE:ZT7_DRIVER>")
