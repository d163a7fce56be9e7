# The barcode renderer: structure tests and decoding by the independent decoder zbarimg.
if(TARGET tw_image)
  tw_unit_test(barcode_image_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/barcode_image_test.cc LIBS tw_image)
  tw_unit_test(barcode_decode_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/barcode_decode_test.cc LIBS tw_image)
endif()
