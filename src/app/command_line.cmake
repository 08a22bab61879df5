# Taking the command line apart before Qt sees it.
add_library(velmar_command_line STATIC
  ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp ${CMAKE_CURRENT_LIST_DIR}/command_line.h)
target_include_directories(velmar_command_line PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(velmar_command_line PUBLIC Qt6::Core)
velmar_target_defaults(velmar_command_line)
