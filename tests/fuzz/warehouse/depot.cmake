# Scanned numbers, goods conditions and packing boxes of the depot settings under arbitrary bytes.
tw_fuzz_target(warehouse_depot_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/depot_fuzz.cc LIBS tw_warehouse
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/depot_corpus RUNS 30000)
