# Fuzz targets of the image library periphery: one per decoder (GIF, TGA, PCX, WBMP, metafile, the
# JPEG-2000 family), the EXIF reader and text drawing, each run for a fixed number of inputs over its
# seed corpus.
foreach(_tw_codec gif:2 tga:6 pcx:7 wbmp:8 wmf:9 jas:10)
  string(REPLACE ":" ";" _tw_pair ${_tw_codec})
  list(GET _tw_pair 0 _tw_name)
  list(GET _tw_pair 1 _tw_code)
  tw_fuzz_target(fuzz_raster_${_tw_name}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/periphery_fuzz.cc
    LIBS tw_image
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/periphery_seeds/${_tw_name}
    RUNS 6000)
  if(TARGET fuzz_raster_${_tw_name})
    target_compile_definitions(fuzz_raster_${_tw_name} PRIVATE TW_FUZZ_FORMAT=${_tw_code})
  endif()
endforeach()
tw_fuzz_target(fuzz_raster_exif
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/periphery_fuzz.cc
  LIBS tw_image
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/periphery_seeds/exif
  RUNS 6000)
if(TARGET fuzz_raster_exif)
  target_compile_definitions(fuzz_raster_exif PRIVATE TW_FUZZ_EXIF=1)
endif()
tw_fuzz_target(fuzz_raster_text
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/periphery_fuzz.cc
  LIBS tw_image
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/periphery_seeds/text
  RUNS 3000)
if(TARGET fuzz_raster_text)
  target_compile_definitions(fuzz_raster_text PRIVATE TW_FUZZ_TEXT=1)
endif()
