# tavrin_library(name SOURCES ... DEPS ...): a static library of one subsystem.
# Headers are included as "<subsystem>/<file>.h" from the src folder.
function(tavrin_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(TAVRIN_UNITY)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${TAVRIN_UNITY_BATCH})
    # A file's own types in a group are seen as coming from an included
    # file: the compiler's warning about such types inside others is moot.
    target_compile_options(${name} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
  endif()
  if(L_DEPS)
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  endif()
endfunction()

# tavrin_test(name SOURCES ... DEPS ... [TIMEOUT s] [COST c] [JACK]): one
# GoogleTest program, registered with CTest. A parallel CTest starts the tests
# of higher COST first (a fresh build folder has no times of earlier runs to
# go by): the JACK programs, which hold one lock between them and mostly
# wait, so that their chain runs beside everything else; then the long
# programs, at about their seconds in the sanitizer build; then the fuzz runs.
#
# A program that is not about MIDI ports runs with TAVRIN_MIDI_API=none, so
# that a port layer it makes by default touches no MIDI library. A JACK
# program (JACK) chooses its interface itself, starts its own JACK server and
# holds the resource lock "jack", so that no two run at once.
function(tavrin_test name)
  cmake_parse_arguments(T "JACK" "TIMEOUT;COST" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_DEPS} tavrin_testsupport GTest::gtest GTest::gtest_main Threads::Threads)
  if(TAVRIN_UNITY)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${TAVRIN_UNITY_BATCH})
  endif()
  if(TAVRIN_PCH)
    # The shared precompiled header is chosen once every target is known
    # (tavrin_share_test_pch).
    set_property(GLOBAL APPEND PROPERTY TAVRIN_PCH_TESTS ${name})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_JACK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK jack)
  else()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "TAVRIN_MIDI_API=none")
  endif()
  if(T_COST)
    set_tests_properties(${name} PROPERTIES COST ${T_COST})
  endif()
endfunction()

# tavrin_fuzz(name SOURCE file DEPS ... [RUNS n]): a fuzz target defining
# LLVMFuzzerTestOneInput (and, if it has seeds, TavrinFuzzSeeds). The target
# is compiled once, with its libraries and the test support, into both of its
# forms, which so see the same include folders, libraries and seeds:
#
# - with TAVRIN_FUZZ, <name>: the own driver, which runs each seed first on
#   a fresh target (libFuzzer's order is its own), then all of them smallest
#   first, then feeds seeded random and mutated inputs
#   (tests/common/fuzz_driver.cpp). Registered with CTest to
#   run n inputs, stopping early after 60 s, so that a loaded machine makes
#   the run shorter and never fails it. On by default in the sanitizer and
#   the libFuzzer builds only: without the checkers a fuzz run finds little.
# - with TAVRIN_LIBFUZZER (clang), <name>_libfuzzer: libFuzzer's main, which
#   starts from the target's seeds (tests/common/fuzz_seeds.cpp writes them
#   into the corpus folder named first, or <name>_libfuzzer_corpus beside the
#   program). The whole tree is then
#   compiled with the fuzzer's coverage and the address and undefined-
#   behaviour sanitizers. To build every libFuzzer target and run each for
#   FUZZ_SECONDS seconds (one at a time, stopping at the first finding; crash
#   inputs land in build/libfuzzer/findings):
#
#   FUZZ_SECONDS=30; CC=clang CXX=clang++ cmake -S . -B build/libfuzzer -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_LIBFUZZER=ON -DTAVRIN_BENCH=OFF && cmake --build build/libfuzzer -j4 && mkdir -p build/libfuzzer/findings && for f in build/libfuzzer/tests/*/*_libfuzzer; do echo "== $f"; "$f" -max_total_time=$FUZZ_SECONDS -artifact_prefix=build/libfuzzer/findings/ || break; done
function(tavrin_fuzz name)
  cmake_parse_arguments(F "" "SOURCE;RUNS" "DEPS" ${ARGN})
  if(NOT TAVRIN_FUZZ AND NOT TAVRIN_LIBFUZZER)
    return()
  endif()
  if(NOT F_RUNS)
    set(F_RUNS 20000)
  endif()
  add_library(${name}_target OBJECT ${F_SOURCE})
  target_link_libraries(${name}_target PUBLIC ${F_DEPS} tavrin_testsupport)
  if(TAVRIN_FUZZ)
    add_executable(${name})
    target_link_libraries(${name} PRIVATE ${name}_target tavrin_fuzzdriver)
    add_test(NAME ${name} COMMAND ${name} -runs=${F_RUNS} -max_total_time=60)
    # Sized to a few seconds each: started before the short test programs.
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 COST 4 ENVIRONMENT "TAVRIN_MIDI_API=none")
  endif()
  if(TAVRIN_LIBFUZZER)
    add_executable(${name}_libfuzzer)
    target_link_libraries(${name}_libfuzzer PRIVATE ${name}_target tavrin_fuzzseeds)
    target_link_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer)
  endif()
endfunction()

# tavrin_bench(name SOURCES ... DEPS ...): one Google Benchmark program.
function(tavrin_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_DEPS} benchmark::benchmark benchmark::benchmark_main Threads::Threads)
endfunction()

# tavrin_subsystem(name DEPS ...): the library of one subsystem from every
# .cpp file of the calling folder (an interface library while there is none).
function(tavrin_subsystem name)
  cmake_parse_arguments(S "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(srcs)
    tavrin_library(${name} SOURCES ${srcs} DEPS ${S_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${S_DEPS})
  endif()
endfunction()

# tavrin_subsystem_tests(name DEPS ... [TIMEOUT s] [COST c]): one test
# program from every *_test.cpp file of the calling folder, and a fuzz target
# from every fuzz_*.cpp file (TAVRIN_FUZZ_RUNS_<file name> sets a target's
# run count).
function(tavrin_subsystem_tests name)
  cmake_parse_arguments(S "" "TIMEOUT;COST" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support_*.cpp)
  if(srcs)
    tavrin_test(${name} SOURCES ${srcs} ${helpers} DEPS ${S_DEPS} TIMEOUT ${S_TIMEOUT} COST ${S_COST})
  endif()
  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_*.cpp)
  foreach(f ${fuzzers})
    get_filename_component(base ${f} NAME_WE)
    if(DEFINED TAVRIN_FUZZ_RUNS_${base})
      tavrin_fuzz(${name}_${base} SOURCE ${f} DEPS ${S_DEPS} RUNS ${TAVRIN_FUZZ_RUNS_${base}})
    else()
      tavrin_fuzz(${name}_${base} SOURCE ${f} DEPS ${S_DEPS})
    endif()
  endforeach()
endfunction()

# tavrin_encipher(target SOURCE file [DESTINATION folder]): enciphers a plain
# XML description at build time into <folder>/<name>.tea, the folder being
# the staged resource folder unless given. A source that does not parse
# fails the build.
function(tavrin_encipher target)
  cmake_parse_arguments(E "" "SOURCE;DESTINATION" "" ${ARGN})
  if(NOT E_DESTINATION)
    set(E_DESTINATION "${TAVRIN_STAGED_RESOURCES}")
  endif()
  get_filename_component(stem "${E_SOURCE}" NAME_WE)
  set(out "${E_DESTINATION}/${stem}.tea")
  add_custom_command(OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${E_DESTINATION}"
    COMMAND fileencrypt "${E_SOURCE}" "${out}"
    DEPENDS fileencrypt "${E_SOURCE}"
    COMMENT "Enciphering ${stem}.xml"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${out}")
endfunction()

# tavrin_vst_module(target OUTPUT path SOURCES ... DEPS ...): a plug-in module
# (a shared object the host loads) with the C entry "main" beside the
# sources' VSTPluginMain, exporting exactly the entries and the test table.
function(tavrin_vst_module name)
  cmake_parse_arguments(M "" "OUTPUT" "SOURCES;DEPS" ${ARGN})
  set(plugin_dir ${PROJECT_SOURCE_DIR}/src/plugin)
  add_library(${name} MODULE ${M_SOURCES} ${plugin_dir}/main.c)
  target_link_libraries(${name} PRIVATE ${M_DEPS})
  target_link_options(${name} PRIVATE -Wl,--version-script=${plugin_dir}/exports.map -Wl,--exclude-libs,ALL)
  # Every symbol resolved at link time, except where clang's sanitizer
  # runtime lives in the host program rather than in a library.
  if(NOT (CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND (TAVRIN_SANITIZE OR TAVRIN_TSAN OR TAVRIN_LIBFUZZER)))
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  set_target_properties(${name} PROPERTIES LINK_DEPENDS ${plugin_dir}/exports.map PREFIX "")
  if(M_OUTPUT)
    get_filename_component(dir "${M_OUTPUT}" DIRECTORY)
    get_filename_component(file "${M_OUTPUT}" NAME_WE)
    set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${dir}" OUTPUT_NAME "${file}")
  endif()
endfunction()

# tavrin_lighten_targets(folder [EXECUTABLES_ONLY]): gives every compiled
# target made in the folder or below it (only the programs, if asked) the
# compile options TAVRIN_TEST_COMPILE_OPTIONS in the optimised configurations.
function(tavrin_lighten_targets folder)
  cmake_parse_arguments(L "EXECUTABLES_ONLY" "" "" ${ARGN})
  if(NOT TAVRIN_TEST_COMPILE_OPTIONS)
    return()
  endif()
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE" OR (NOT L_EXECUTABLES_ONLY AND type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|MODULE_LIBRARY|SHARED_LIBRARY)$"))
      target_compile_options(${t} PRIVATE "$<$<CONFIG:RelWithDebInfo,Release,MinSizeRel>:${TAVRIN_TEST_COMPILE_OPTIONS}>")
    endif()
  endforeach()
  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subfolders})
    if(L_EXECUTABLES_ONLY)
      tavrin_lighten_targets(${sub} EXECUTABLES_ONLY)
    else()
      tavrin_lighten_targets(${sub})
    endif()
  endforeach()
endfunction()

# The headers nearly every test file includes, precompiled once per build for
# all test programs instead of once per program. There are two such headers:
# a precompiled header is used only where the macros that shape the system
# headers are the same, and the libraries over Poco define some
# (_XOPEN_SOURCE among them). tavrin_test_pch_holders makes the two holder
# programs (in the tests' folder, so that they get the tests' compile
# options); tavrin_share_test_pch, called once every target exists, gives
# each test program the one that matches it. A program given the wrong one
# would still compile right: the compiler then parses the headers itself.
set(TAVRIN_TEST_PCH_HEADERS <gtest/gtest.h> <algorithm> <array> <atomic> <cstdint> <cstring>
    <functional> <map> <memory> <string> <thread> <vector>)

function(tavrin_test_pch_holders)
  if(NOT TAVRIN_PCH)
    return()
  endif()
  set(main ${CMAKE_CURRENT_BINARY_DIR}/tavrin_pch_main.cpp)
  file(WRITE ${main} "int main() { return 0; }\n")
  foreach(kind plain poco)
    add_executable(tavrin_pch_${kind} ${main})
    target_link_libraries(tavrin_pch_${kind} PRIVATE GTest::gtest Threads::Threads)
    target_precompile_headers(tavrin_pch_${kind} PRIVATE ${TAVRIN_TEST_PCH_HEADERS})
  endforeach()
  target_link_libraries(tavrin_pch_poco PRIVATE framework)
endfunction()

# tavrin_reaches(target wanted out): whether target links wanted, directly
# or through the libraries it links.
function(tavrin_reaches target wanted out)
  set(seen "")
  set(todo ${target})
  set(found FALSE)
  while(todo)
    list(POP_FRONT todo t)
    if(t IN_LIST seen OR NOT TARGET ${t})
      continue()
    endif()
    list(APPEND seen ${t})
    if(t STREQUAL wanted)
      set(found TRUE)
      break()
    endif()
    get_target_property(aliased ${t} ALIASED_TARGET)
    if(aliased)
      list(APPEND todo ${aliased})
    endif()
    get_target_property(type ${t} TYPE)
    foreach(prop INTERFACE_LINK_LIBRARIES LINK_LIBRARIES)
      if(prop STREQUAL "LINK_LIBRARIES" AND type STREQUAL "INTERFACE_LIBRARY")
        continue()
      endif()
      get_target_property(libs ${t} ${prop})
      if(libs)
        list(APPEND todo ${libs})
      endif()
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(tavrin_share_test_pch)
  if(NOT TAVRIN_PCH)
    return()
  endif()
  get_property(tests GLOBAL PROPERTY TAVRIN_PCH_TESTS)
  foreach(t ${tests})
    tavrin_reaches(${t} framework overPoco)
    if(overPoco)
      target_precompile_headers(${t} REUSE_FROM tavrin_pch_poco)
    else()
      target_precompile_headers(${t} REUSE_FROM tavrin_pch_plain)
    endif()
  endforeach()
endfunction()
