# Fuzz targets of the image codecs: one per codec and one through format detection, each run for a
# fixed number of inputs over its seed corpus.
foreach(_tw_codec bmp:1 jpg:3 png:4 ico:5 any:0)
  string(REPLACE ":" ";" _tw_pair ${_tw_codec})
  list(GET _tw_pair 0 _tw_name)
  list(GET _tw_pair 1 _tw_code)
  tw_fuzz_target(fuzz_raster_${_tw_name}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/raster_fuzz.cc
    LIBS tw_image
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/raster_seeds/${_tw_name}
    RUNS 6000)
  if(TARGET fuzz_raster_${_tw_name})
    target_compile_definitions(fuzz_raster_${_tw_name} PRIVATE TW_FUZZ_FORMAT=${_tw_code})
  endif()
endforeach()
