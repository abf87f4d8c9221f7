# The bundled demo model and its images must equal a fresh generation.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME demo_model_fresh
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_demo_model.py
            --check ${CMAKE_SOURCE_DIR}/examples/demo)
endif()
