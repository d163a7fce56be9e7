# The orders of a partner's warehouse order batch, cut from the request text.
tw_unit_test(warehouse_order_list_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/order_list_test.cc LIBS tw_warehouse)
