# The orders of a partner's order batch cut from arbitrary bytes.
tw_fuzz_target(warehouse_order_list_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/order_list_fuzz.cc LIBS tw_warehouse
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/order_list_corpus RUNS 30000)
