# The benchmark program (bench preset): figures, not a test.
find_package(benchmark REQUIRED)
add_executable(bench_plugin bench/bench_plugin.cpp)
target_link_libraries(bench_plugin PRIVATE tarnwick_core archive_writer benchmark::benchmark)
target_compile_options(bench_plugin PRIVATE -Wall -Wextra -Werror)

add_executable(bench_scenario bench/bench_scenario.cpp)
target_link_libraries(bench_scenario PRIVATE tarnwick_core archive_writer)
target_compile_options(bench_scenario PRIVATE -Wall -Wextra -Werror)
