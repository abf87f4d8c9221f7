# The disk-fault library for whole-program tests (loaded with LD_PRELOAD).
add_library(qm_faultinj SHARED ${CMAKE_SOURCE_DIR}/tests/faultinj/faultinj.cpp)
set_target_properties(qm_faultinj PROPERTIES OUTPUT_NAME faultinj)
target_link_libraries(qm_faultinj PRIVATE dl)
# Sanitizer runtimes must come first in LD_PRELOAD; the library itself is built plain.
target_compile_options(qm_faultinj PRIVATE -fno-sanitize=all)
target_link_options(qm_faultinj PRIVATE -fno-sanitize=all)
if(TARGET program_tests)
  add_dependencies(program_tests qm_faultinj)
  target_compile_definitions(program_tests PRIVATE QM_FAULTINJ="$<TARGET_FILE:qm_faultinj>")
endif()
