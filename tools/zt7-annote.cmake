# Packaging tool for the files appended to the executables. Built from the reader's own source so
# the post-build step of the programs needs nothing else of the tree.
add_executable(zt7-annote
  ${CMAKE_CURRENT_SOURCE_DIR}/zt7-annote/main.cpp
  ${PROJECT_SOURCE_DIR}/src/share/fileannote.cpp)
target_include_directories(zt7-annote PRIVATE ${PROJECT_SOURCE_DIR}/src)
