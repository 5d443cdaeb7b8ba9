# Ad Ticket scanner: library, tests, fuzz target and benchmark.
# Stands alone (TVP_SCANNER_ONLY): needs only what the root sets up (C++17, GTest, GoogleTest).

get_filename_component(TVP_SCANNER_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

add_library(tvp_scanner STATIC "${TVP_SCANNER_ROOT}/sources/metadataValidator.cpp")
target_include_directories(tvp_scanner PUBLIC "${TVP_SCANNER_ROOT}/sources")
target_compile_options(tvp_scanner PRIVATE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion>)

add_executable(test_scanner
  "${TVP_SCANNER_ROOT}/tests/scanner/test_value_list.cpp"
  "${TVP_SCANNER_ROOT}/tests/scanner/test_trim.cpp"
  "${TVP_SCANNER_ROOT}/tests/scanner/test_extraction.cpp"
  "${TVP_SCANNER_ROOT}/tests/scanner/test_schema_scans.cpp"
  "${TVP_SCANNER_ROOT}/tests/scanner/test_robustness.cpp")
target_include_directories(test_scanner PRIVATE "${TVP_SCANNER_ROOT}/tests/scanner")
target_link_libraries(test_scanner PRIVATE tvp_scanner GTest::gtest_main)
# The timeout only guards against a hang; no test is timed.
gtest_discover_tests(test_scanner NO_PRETTY_VALUES DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)

if(TVP_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TVP_FUZZ needs clang (configure with CC=clang CXX=clang++)")
  endif()
  # The scanner is compiled into the target itself so that libFuzzer sees its coverage.
  set(TVP_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
      -fno-omit-frame-pointer)
  add_executable(scanner_fuzz
    "${TVP_SCANNER_ROOT}/fuzz/scanner_fuzz.cpp"
    "${TVP_SCANNER_ROOT}/sources/metadataValidator.cpp")
  target_include_directories(scanner_fuzz PRIVATE
    "${TVP_SCANNER_ROOT}/sources" "${TVP_SCANNER_ROOT}/tests/scanner")
  target_compile_options(scanner_fuzz PRIVATE ${TVP_FUZZ_FLAGS})
  target_link_options(scanner_fuzz PRIVATE ${TVP_FUZZ_FLAGS})
endif()

find_package(benchmark QUIET)
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(EXEMPI QUIET IMPORTED_TARGET exempi-2.0)
endif()
if(benchmark_FOUND AND EXEMPI_FOUND)
  # Not built by default: cmake --build <dir> --target scanner_bench
  add_executable(scanner_bench EXCLUDE_FROM_ALL "${TVP_SCANNER_ROOT}/bench/scanner_bench.cpp")
  target_include_directories(scanner_bench PRIVATE "${TVP_SCANNER_ROOT}/tests/scanner")
  target_link_libraries(scanner_bench PRIVATE tvp_scanner benchmark::benchmark PkgConfig::EXEMPI)
endif()
