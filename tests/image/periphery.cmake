# Tests of the image library periphery: transforms and text, EXIF, and the GIF, TGA, PCX, WBMP,
# metafile and JPEG-2000 family codecs.
tw_unit_test(raster_periphery_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/raster_transform_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_text_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_exif_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_gif_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_codecs_more_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_periphery_malformed_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/periphery_test_util.cc
    ${CMAKE_CURRENT_LIST_DIR}/raster_test_util.cc
  LIBS tw_image)
target_compile_definitions(raster_periphery_test PRIVATE
  TW_IMAGE_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures/image")

# Text drawing without CJK fonts: a program of its own, since a process starts its font state once.
tw_unit_test(raster_text_nofont_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/raster_text_nofont_test.cc
  LIBS tw_image)
