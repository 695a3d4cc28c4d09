# Helpers shared by every subsystem's tests, benchmarks and fuzz targets.

# pelex_add_test(NAME SOURCES... LIBS... [LABELS ...])
# One GoogleTest executable, registered with ctest test by test.
function(pelex_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set(labels ${ARG_LABELS})
  if(NOT labels)
    set(labels unit)
  endif()
  # End-to-end tests each start their own rig on a free block of ports, in
  # a folder of their own process, so they run side by side. They mostly wait
  # on timers and peers, so they are started first (a high cost) and the
  # quick unit tests fill the gaps.
  set(cost)
  if("e2e" IN_LIST labels)
    set(cost COST 1000)
  endif()
  # Discovery passes a property's value through several list expansions,
  # which split a list of labels (and shift the properties after it), so the
  # tests get their first label there and all of them from a file ctest
  # reads after the discovered tests.
  list(GET labels 0 first_label)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${first_label} ${cost} ${ARG_PROPERTIES})
  list(LENGTH labels label_count)
  if(label_count GREATER 1)
    set(label_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${label_file} "set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\")\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_file})
  endif()
endfunction()

# pelex_add_benchmark(NAME SOURCES... LIBS...)
function(pelex_add_benchmark name)
  if(NOT PELEX_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# pelex_add_fuzzer(NAME SOURCES... LIBS...)
# A libFuzzer target; built only with PELEX_FUZZ=ON and clang.
function(pelex_add_fuzzer name)
  if(NOT PELEX_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY PELEX_FUZZERS ${name})
endfunction()
