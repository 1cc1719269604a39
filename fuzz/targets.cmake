# The fuzz targets, each linked against the analyser's libraries; included by
# fuzz/CMakeLists.txt and by the project's own build with BUILD_FUZZERS, where the
# libraries are compiled with -fsanitize=fuzzer-no-link.
foreach(target principals formula knowledge driver)
  add_executable(${target}_fuzzer ${CMAKE_CURRENT_LIST_DIR}/${target}_fuzzer.cpp)
  target_compile_options(${target}_fuzzer PRIVATE -fsanitize=fuzzer)
  target_link_options(${target}_fuzzer PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${target}_fuzzer PRIVATE driver)
endforeach()
