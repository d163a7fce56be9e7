# Tests of the image library core: streams, picture object and planes, codecs.
tw_unit_test(raster_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/raster_file_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_image_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_codec_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_malformed_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_test_util.cc
  LIBS tw_image)
target_compile_definitions(raster_test PRIVATE
  TW_IMAGE_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures/image")
