velmar_add_bench(velmar_convert_bench ${CMAKE_CURRENT_LIST_DIR}/convert_bench.cpp
  LIBS velmar_components velmar_convert)
