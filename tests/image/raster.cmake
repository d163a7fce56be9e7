tw_unit_test(raster_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/raster_codec_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_test_util.cc
  LIBS tw_image)
target_compile_definitions(raster_test PRIVATE
  TW_IMAGE_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures/image")
