velmar_add_bench(velmar_text_bench ${CMAKE_CURRENT_LIST_DIR}/text_bench.cpp
  LIBS velmar_widgets_bench_main velmar_text velmar_platform_fakes Qt6::Widgets)
