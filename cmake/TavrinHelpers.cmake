# tavrin_library(name SOURCES ... DEPS ...): a static library of one subsystem.
# Headers are included as "<subsystem>/<file>.h" from the src folder.
function(tavrin_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(L_DEPS)
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  endif()
endfunction()

# tavrin_test(name SOURCES ... DEPS ...): one GoogleTest program, registered with CTest.
function(tavrin_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_DEPS} tavrin_testsupport GTest::gtest GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# tavrin_fuzz(name SOURCE file DEPS ... [RUNS n]): a fuzz target defining
# LLVMFuzzerTestOneInput. It is always built with a driver that feeds seeded
# random and mutated inputs (registered with CTest, so the sanitizer build runs
# it), and with libFuzzer as well when TAVRIN_LIBFUZZER is on.
function(tavrin_fuzz name)
  cmake_parse_arguments(F "" "SOURCE;RUNS" "DEPS" ${ARGN})
  if(NOT F_RUNS)
    set(F_RUNS 20000)
  endif()
  add_executable(${name} ${F_SOURCE})
  target_link_libraries(${name} PRIVATE ${F_DEPS} tavrin_fuzzdriver)
  add_test(NAME ${name} COMMAND ${name} -runs=${F_RUNS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(TAVRIN_LIBFUZZER AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${name}_libfuzzer ${F_SOURCE})
    target_compile_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name}_libfuzzer PRIVATE ${F_DEPS})
  endif()
endfunction()

# tavrin_bench(name SOURCES ... DEPS ...): one Google Benchmark program.
function(tavrin_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_DEPS} benchmark::benchmark benchmark::benchmark_main Threads::Threads)
endfunction()
