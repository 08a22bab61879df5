velmar_add_test(velmar_text_files_tests
  file_codec_test.cpp file_commands_test.cpp file_print_test.cpp
  LIBS velmar_text velmar_platform_fakes)
