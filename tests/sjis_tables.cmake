# The committed code tables must equal a fresh generation.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME sjis_tables_fresh
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/gen_sjis_tables.py
            --check ${CMAKE_SOURCE_DIR}/src/encoding/sjis_tables.cpp)
  add_test(NAME codepage_tables_fresh
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/gen_codepage_tables.py
            --check ${CMAKE_SOURCE_DIR}/src/encoding/codepage_tables.cpp
                    ${CMAKE_SOURCE_DIR}/src/encoding/mangle_cases.inc)
endif()
