# Encrypting, signing and decrypting the active text through the PGP component.
add_library(velmar_pgp_commands STATIC
  ${CMAKE_CURRENT_LIST_DIR}/pgp_commands.cpp ${CMAKE_CURRENT_LIST_DIR}/pgp_commands.h
)
target_include_directories(velmar_pgp_commands PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(velmar_pgp_commands PUBLIC velmar_components velmar_platform_core Qt6::Core)
velmar_target_defaults(velmar_pgp_commands)
