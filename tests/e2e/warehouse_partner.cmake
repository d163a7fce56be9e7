# The warehouse's outside doors over HTTP: the partner's orders, goods, goods-in records and totals
# on DoApi, the client goods list on DoApp.
tw_e2e_test(e2e_warehouse_partner SOURCES ${CMAKE_CURRENT_LIST_DIR}/warehouse_partner_test.cc LIBS tw_util)
