# Goods definitions, placements and shelves of the warehouse road over HTTP.
tw_e2e_test(e2e_warehouse_shelves SOURCES ${CMAKE_CURRENT_LIST_DIR}/warehouse_shelves_test.cc LIBS tw_util)
