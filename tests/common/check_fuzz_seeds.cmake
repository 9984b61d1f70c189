# cmake -DPROGRAM=... -DFOLDER=... -P check_fuzz_seeds.cmake: runs the
# libFuzzer form of the seeded target twice over an empty corpus folder of
# its own; each run must leave exactly the target's two non-empty seeds
# there, and libFuzzer must have started from them.
file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
foreach(round 1 2)
  execute_process(COMMAND "${PROGRAM}" -runs=0 "${FOLDER}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "run ${round} failed (${rc}):\n${out}")
  endif()
  file(GLOB seeds "${FOLDER}/seed-*")
  list(LENGTH seeds count)
  if(NOT count EQUAL 2)
    message(FATAL_ERROR "run ${round} left ${count} seed files, not 2:\n${out}")
  endif()
  if(NOT out MATCHES "2 files found in")
    message(FATAL_ERROR "run ${round} did not start from the seeds:\n${out}")
  endif()
endforeach()
file(REMOVE_RECURSE "${FOLDER}")
