# Fuzz smoke test: builds the fuzz targets with clang and libFuzzer and runs
# each for a few seconds (fuzz/run.sh). Only in the sanitizer build, and only
# when clang can link a libFuzzer program here; otherwise a test that reports
# itself as skipped says why.
if(QM_SANITIZE)
  find_program(QM_FUZZ_CLANGXX NAMES clang++ clang++-14)
  set(qm_fuzz_why "")
  if(NOT QM_FUZZ_CLANGXX)
    set(qm_fuzz_why "clang++ not found (install clang and libclang-rt-14-dev)")
  else()
    set(probe_dir ${CMAKE_BINARY_DIR}/fuzz-probe)
    file(WRITE ${probe_dir}/probe.cpp
         "#include <cstddef>\n#include <cstdint>\n"
         "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
    execute_process(COMMAND ${QM_FUZZ_CLANGXX} -fsanitize=fuzzer,address,undefined ${probe_dir}/probe.cpp
                            -o ${probe_dir}/probe
                    RESULT_VARIABLE probe_rc OUTPUT_QUIET ERROR_QUIET)
    if(NOT probe_rc EQUAL 0)
      set(qm_fuzz_why "clang++ cannot link a libFuzzer program (install libclang-rt-14-dev)")
    endif()
  endif()
  if(qm_fuzz_why STREQUAL "")
    add_test(NAME fuzz_smoke
             COMMAND ${CMAKE_COMMAND} -E env QM_FUZZ_OUT=${CMAKE_BINARY_DIR}/fuzz FUZZ_CXX=${QM_FUZZ_CLANGXX}
                     ${CMAKE_SOURCE_DIR}/fuzz/run.sh 5)
    set_tests_properties(fuzz_smoke PROPERTIES TIMEOUT 1800 PROCESSORS 2)
  else()
    message(STATUS "fuzz smoke test SKIPPED: ${qm_fuzz_why}")
    add_test(NAME fuzz_smoke_skipped
             COMMAND sh -c "echo 'fuzz smoke test SKIPPED: ${qm_fuzz_why}'; exit 77")
    set_tests_properties(fuzz_smoke_skipped PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endif()
