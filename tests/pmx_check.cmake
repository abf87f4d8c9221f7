# Models written by the program in generated scenarios (both text encodings,
# every index width, PMX 2.0 and 2.1, renewed textures, filled and long names)
# must parse whole with the separate checker in tools/pmx_check.py.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND AND TARGET quillmend)
  add_test(NAME pmx_check_written_models
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/pmx_check.py --scenarios $<TARGET_FILE:quillmend>)
  set_tests_properties(pmx_check_written_models PROPERTIES TIMEOUT 300
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endif()
