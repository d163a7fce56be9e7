# Goods in over HTTP: notices, pictures, pick, check and confirm, the one-step goods in.
tw_e2e_test(e2e_warehouse_goods_in SOURCES ${CMAKE_CURRENT_LIST_DIR}/warehouse_goods_in_test.cc LIBS tw_util)
