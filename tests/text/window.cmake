velmar_add_test(velmar_text_window_tests
  ${CMAKE_CURRENT_LIST_DIR}/reply_colors_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clipboard_commands_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fake_host.h
  LIBS velmar_text velmar_platform_fakes)
