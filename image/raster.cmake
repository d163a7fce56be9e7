# The image library core: picture object, streams, palette and planes, and the BMP, ICO, PNG and JPEG
# codecs with format detection.
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
target_sources(tw_image PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/raster_file.cc
  ${CMAKE_CURRENT_LIST_DIR}/raster_image.cc
  ${CMAKE_CURRENT_LIST_DIR}/raster_planes.cc
  ${CMAKE_CURRENT_LIST_DIR}/raster_codec.cc
  ${CMAKE_CURRENT_LIST_DIR}/codec_bmp.cc
  ${CMAKE_CURRENT_LIST_DIR}/codec_ico.cc
  ${CMAKE_CURRENT_LIST_DIR}/codec_png.cc
  ${CMAKE_CURRENT_LIST_DIR}/codec_jpg.cc
)
target_link_libraries(tw_image PUBLIC PNG::PNG JPEG::JPEG)
