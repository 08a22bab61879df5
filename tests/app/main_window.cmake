velmar_add_test(velmar_main_window_tests
  ${CMAKE_CURRENT_LIST_DIR}/main_window_fixture.h
  ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_arrangement_test.cpp
  LIBS velmar_main_window velmar_platform_fakes)
