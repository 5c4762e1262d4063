# The Windows build: TARNWICK.SPI, the command-line host and the conformance program,
# which runs under Wine as a CTest test.

# Nothing but system DLLs may be needed beside the module, so the language runtime is
# linked in statically.
set(static_runtime -static -static-libgcc -static-libstdc++)

if(TARNWICK_INTERFACE STREQUAL "64")
  set(module_suffix ".SPH")
else()
  set(module_suffix ".SPI")
endif()
configure_file(module/tarnwick.def.in tarnwick.def @ONLY)
add_library(tarnwick_spi SHARED module/dllmain.cpp ${CMAKE_CURRENT_BINARY_DIR}/tarnwick.def)
# The .def file names the exports, so every object of the core goes in, not only those referenced.
target_link_libraries(tarnwick_spi PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,tarnwick_core>")
target_compile_options(tarnwick_spi PRIVATE -Wall -Wextra -Werror)
# stdcall names reach the export table undecorated; the .def file fixes names and ordinals.
target_link_options(tarnwick_spi PRIVATE ${static_runtime} -Wl,--kill-at -Wl,--enable-stdcall-fixup -s)
set_target_properties(tarnwick_spi PROPERTIES PREFIX "" OUTPUT_NAME "TARNWICK" SUFFIX "${module_suffix}")

add_executable(susie_host tools/host/susie_host.cpp)
target_include_directories(susie_host PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(susie_host PRIVATE -Wall -Wextra -Werror)
target_link_options(susie_host PRIVATE ${static_runtime})

add_executable(conformance tests/windows/conformance.cpp tests/windows/pe_image.cpp)
target_link_libraries(conformance PRIVATE archive_writer)
target_compile_options(conformance PRIVATE -Wall -Wextra -Werror)
target_link_options(conformance PRIVATE ${static_runtime})
add_dependencies(conformance tarnwick_spi)

# One launch runs every case: a launch of 32-bit Wine costs most of a minute. One Wine
# prefix serves both Windows builds and the demo.
set(TARNWICK_WINE_PREFIX "${PROJECT_SOURCE_DIR}/build/wine" CACHE PATH "Wine prefix for the Windows tests")
add_test(NAME conformance_${CMAKE_SYSTEM_PROCESSOR}
         COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/run ${TARNWICK_WINE_PREFIX}
                 $<TARGET_FILE:conformance> $<TARGET_FILE:tarnwick_spi>)
set_tests_properties(conformance_${CMAKE_SYSTEM_PROCESSOR} PROPERTIES TIMEOUT 1500)

# ostrel for Windows users without a Susie host: a static executable.
add_executable(ostrel tools/ostrel/ostrel.cpp tools/ostrel/safe_names.cpp)
target_link_libraries(ostrel PRIVATE tarnwick_core archive_writer)
target_compile_options(ostrel PRIVATE -Wall -Wextra -Werror)
target_link_options(ostrel PRIVATE ${static_runtime})
# A smoke run under Wine: pack, verify, list and extract, with the bytes compared. Only
# the 64-bit build runs it: 64-bit Wine starts in seconds, 32-bit Wine in a minute.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
add_test(NAME ostrel_smoke_${CMAKE_SYSTEM_PROCESSOR}
         COMMAND ${PROJECT_SOURCE_DIR}/tests/windows/ostrel_smoke ${TARNWICK_WINE_PREFIX} $<TARGET_FILE:ostrel>
                 ${PROJECT_SOURCE_DIR}/samples ${CMAKE_BINARY_DIR}/ostrel-smoke)
set_tests_properties(ostrel_smoke_${CMAKE_SYSTEM_PROCESSOR} PROPERTIES TIMEOUT 1500)
endif()
