# The barcode renderer (Code 128, GS1-128, Interleaved 2 of 5) and the barcode command's drawing steps.
target_sources(tw_image PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/barcode_image.cc
  ${CMAKE_CURRENT_LIST_DIR}/barcode_png.cc
  ${CMAKE_CURRENT_LIST_DIR}/barcode_query.cc
)
