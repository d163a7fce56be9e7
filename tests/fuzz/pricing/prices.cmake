# Piece lists, dimension texts, zone definitions, field-check blocks and quote values under
# arbitrary bytes.
tw_fuzz_target(pricing_prices_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/prices_fuzz.cc LIBS tw_pricing
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/prices_corpus RUNS 30000)
