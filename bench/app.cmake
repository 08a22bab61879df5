velmar_add_bench(velmar_app_bench ${CMAKE_CURRENT_LIST_DIR}/app_bench.cpp
  LIBS velmar_main_window velmar_platform_fakes)
