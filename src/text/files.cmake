# Files and printing: reading and appending text files, the file and print commands.
target_sources(velmar_text PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/file_codec.cpp ${CMAKE_CURRENT_LIST_DIR}/file_codec.h
  ${CMAKE_CURRENT_LIST_DIR}/text_printer.cpp ${CMAKE_CURRENT_LIST_DIR}/text_printer.h
)
target_sources(velmar_text PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/file_commands.cpp ${CMAKE_CURRENT_LIST_DIR}/file_commands.h
)
