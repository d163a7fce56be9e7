# Goods out over HTTP: picking carts, orders out, serial-numbered pieces.
tw_e2e_test(e2e_warehouse_goods_out SOURCES ${CMAKE_CURRENT_LIST_DIR}/warehouse_goods_out_test.cc LIBS tw_util)
