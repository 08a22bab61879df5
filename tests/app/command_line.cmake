velmar_add_test(velmar_command_line_tests ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp
  LIBS velmar_command_line)
