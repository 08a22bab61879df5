# The main window's menus, toolbar and icons.
add_library(velmar_commands STATIC commands.cpp commands.h icons.cpp icons.h)
target_include_directories(velmar_commands PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(velmar_commands PUBLIC Qt6::Widgets velmar_settings)
velmar_target_defaults(velmar_commands)
