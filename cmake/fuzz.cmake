# libFuzzer targets for the five exports (clang, fuzz preset). CTest runs each for a short
# bounded time on a copy of the committed seeds; fuzz/README.md gives the longer run.
set(TARNWICK_FUZZ_SECONDS 25 CACHE STRING "Seconds each fuzz target runs under CTest")

foreach(target fuzz_reading fuzz_identification)
  add_executable(${target} fuzz/${target}.cpp)
  target_link_libraries(${target} PRIVATE tarnwick_core)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  string(REPLACE "fuzz_" "" corpus ${target})
  set(work_corpus ${CMAKE_BINARY_DIR}/corpus/${corpus})
  file(MAKE_DIRECTORY ${work_corpus})
  add_test(NAME ${target}
           COMMAND ${target} -max_total_time=${TARNWICK_FUZZ_SECONDS} -timeout=10 -max_len=4096
                   ${work_corpus} ${PROJECT_SOURCE_DIR}/fuzz/seeds/${corpus})
endforeach()

add_executable(make_seeds fuzz/make_seeds.cpp)
target_link_libraries(make_seeds PRIVATE archive_writer)
