# The main window and the program.
add_library(velmar_main_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp ${CMAKE_CURRENT_LIST_DIR}/main_window.h
  ${CMAKE_CURRENT_LIST_DIR}/tray_icon.cpp ${CMAKE_CURRENT_LIST_DIR}/tray_icon.h
  ${CMAKE_CURRENT_LIST_DIR}/window_arrangement.cpp ${CMAKE_CURRENT_LIST_DIR}/window_arrangement.h
)
target_include_directories(velmar_main_window PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(velmar_main_window PRIVATE
  VELMAR_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  VELMAR_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  VELMAR_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_link_libraries(velmar_main_window PUBLIC velmar_commands velmar_text velmar_ipmsg
  velmar_ipmsg_ui velmar_components velmar_settings velmar_platform velmar_common Qt6::Widgets)
velmar_target_defaults(velmar_main_window)

add_executable(velmar ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(velmar PRIVATE velmar_main_window)
velmar_target_defaults(velmar)
install(TARGETS velmar RUNTIME DESTINATION bin)
