velmar_add_test(velmar_startup_tests ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp ${CMAKE_CURRENT_LIST_DIR}/translations_test.cpp
  LIBS velmar_startup)
