# Simulated serial touch sensor. Its panel model is a library so tests and benchmarks can produce
# the same streams without a terminal.
add_library(zt7simcore STATIC ${CMAKE_CURRENT_LIST_DIR}/zt7-sensor-sim/sim.cpp)
target_include_directories(zt7simcore PUBLIC ${CMAKE_CURRENT_LIST_DIR}/zt7-sensor-sim)
add_executable(zt7-sensor-sim ${CMAKE_CURRENT_LIST_DIR}/zt7-sensor-sim/main.cpp)
target_link_libraries(zt7-sensor-sim PRIVATE zt7simcore zt7platform)
