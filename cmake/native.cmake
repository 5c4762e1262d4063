# The native build: the plug-in's code over the Linux stand-in, and its unit tests.
find_package(GTest REQUIRED)

add_executable(unit_tests
  tests/unit/archive_source_test.cpp
  tests/unit/format_test.cpp
  tests/unit/identification_test.cpp
  tests/unit/reading_test.cpp
  tests/unit/fault_test.cpp
  tests/unit/thread_test.cpp
  tests/unit/test_support.cpp)
target_link_libraries(unit_tests PRIVATE tarnwick_core archive_writer GTest::gtest_main)
target_compile_options(unit_tests PRIVATE -Wall -Wextra -Werror)
include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)

add_executable(ostrel tools/ostrel/ostrel.cpp tools/ostrel/safe_names.cpp)
target_link_libraries(ostrel PRIVATE tarnwick_core archive_writer)
target_compile_options(ostrel PRIVATE -Wall -Wextra -Werror)

add_executable(ostrel_tests tests/ostrel/ostrel_test.cpp)
target_link_libraries(ostrel_tests PRIVATE tarnwick_core archive_writer GTest::gtest_main)
target_compile_options(ostrel_tests PRIVATE -Wall -Wextra -Werror)
target_compile_definitions(ostrel_tests PRIVATE OSTREL_PATH="$<TARGET_FILE:ostrel>")
add_dependencies(ostrel_tests ostrel)
gtest_discover_tests(ostrel_tests DISCOVERY_TIMEOUT 60)
