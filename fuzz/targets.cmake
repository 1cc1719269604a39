# The fuzz targets, each linked against the analyser's libraries; included by
# fuzz/CMakeLists.txt and by the project's own build with BUILD_FUZZERS, where the
# libraries are compiled with -fsanitize=fuzzer-no-link. The targets of
# tool-report's analysis and command lines need its library (report), and are
# left out where it is not built.
add_library(fuzz_support STATIC ${CMAKE_CURRENT_LIST_DIR}/model_folder.cpp
                                ${CMAKE_CURRENT_LIST_DIR}/shard_files.cpp)
target_link_libraries(fuzz_support PUBLIC shard utils)

set(fuzz_targets principals formula knowledge driver shard)
if(TARGET report)
  list(APPEND fuzz_targets report command_line)
endif()
foreach(target ${fuzz_targets})
  add_executable(${target}_fuzzer ${CMAKE_CURRENT_LIST_DIR}/${target}_fuzzer.cpp)
  target_compile_options(${target}_fuzzer PRIVATE -fsanitize=fuzzer)
  target_link_options(${target}_fuzzer PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${target}_fuzzer PRIVATE driver fuzz_support)
endforeach()
if(TARGET report)
  target_link_libraries(report_fuzzer PRIVATE report)
  target_link_libraries(command_line_fuzzer PRIVATE report shard)
endif()
