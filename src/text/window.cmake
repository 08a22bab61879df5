# Text window, reply marks and colouring, clipboard commands.
target_sources(velmar_text PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/text_window.cpp ${CMAKE_CURRENT_LIST_DIR}/text_window.h
  ${CMAKE_CURRENT_LIST_DIR}/text_area.cpp ${CMAKE_CURRENT_LIST_DIR}/text_area.h
  ${CMAKE_CURRENT_LIST_DIR}/reply_colors.cpp ${CMAKE_CURRENT_LIST_DIR}/reply_colors.h
  ${CMAKE_CURRENT_LIST_DIR}/clipboard_commands.cpp ${CMAKE_CURRENT_LIST_DIR}/clipboard_commands.h
)
