# "QueryPrice" over HTTP against the test database.
tw_e2e_test(e2e_query_price SOURCES ${CMAKE_CURRENT_LIST_DIR}/query_price_test.cc LIBS tw_util)
