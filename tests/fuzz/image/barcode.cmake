# The barcode renderer under arbitrary query texts, plans and parameters.
if(TARGET tw_image)
  tw_fuzz_target(barcode_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/barcode_fuzz.cc LIBS tw_image
                 CORPUS ${CMAKE_CURRENT_LIST_DIR}/barcode_corpus RUNS 20000)
endif()
