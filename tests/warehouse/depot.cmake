# Depot settings, the scanned-number normalisers and the warehouse procedure calls.
tw_unit_test(warehouse_depot_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/depot_settings_test.cc LIBS tw_warehouse)
# The container's depot and client lists against the test database.
tw_e2e_test(e2e_warehouse_depot_cache SOURCES ${CMAKE_CURRENT_LIST_DIR}/depot_db_test.cc LIBS tw_warehouse)
