# Start-up before the main window: the command line taken apart before Qt sees it,
# and Qt's own translations.
add_library(velmar_startup STATIC
  ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp ${CMAKE_CURRENT_LIST_DIR}/command_line.h
  ${CMAKE_CURRENT_LIST_DIR}/translations.cpp ${CMAKE_CURRENT_LIST_DIR}/translations.h)
target_include_directories(velmar_startup PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(velmar_startup PUBLIC Qt6::Core)
velmar_target_defaults(velmar_startup)
