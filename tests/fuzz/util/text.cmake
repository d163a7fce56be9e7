# The JSON readers and writers under arbitrary request text, and the decoders under arbitrary bytes.
if(TARGET tw_util)
  tw_fuzz_target(util_json_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/json_fuzz.cc LIBS tw_util
                 CORPUS ${CMAKE_CURRENT_LIST_DIR}/json_corpus RUNS 100000)
  tw_fuzz_target(util_decoders_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/decoders_fuzz.cc LIBS tw_util
                 CORPUS ${CMAKE_CURRENT_LIST_DIR}/decoders_corpus RUNS 100000)
endif()
