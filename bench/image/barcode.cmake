# Barcode renderer against libzint (benchmark only) drawing the same symbols to memory.
find_library(TW_ZINT_LIBRARY zint)
find_path(TW_ZINT_INCLUDE zint.h)
if(TARGET tw_image AND TW_ZINT_LIBRARY AND TW_ZINT_INCLUDE)
  tw_bench(barcode_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/barcode_bench.cc LIBS tw_image ${TW_ZINT_LIBRARY})
  target_include_directories(barcode_bench PRIVATE ${TW_ZINT_INCLUDE})
endif()
