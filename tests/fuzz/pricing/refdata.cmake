# Destination, country and postcode texts and the field-fill block under arbitrary bytes.
tw_fuzz_target(pricing_refdata_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/refdata_fuzz.cc LIBS tw_pricing
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/refdata_corpus RUNS 30000)
