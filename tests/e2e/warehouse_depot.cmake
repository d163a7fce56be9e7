# The depot core of the warehouse road over HTTP: depot checks, the client look-up, stock moves.
tw_e2e_test(e2e_warehouse_depot SOURCES ${CMAKE_CURRENT_LIST_DIR}/warehouse_depot_test.cc LIBS tw_util)
