# The message generator refuses the catalogue faults it is there to catch.
add_test(NAME messages_generator_self_test
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/gen_messages.py --self-test)
