# "QueryPrice" over HTTP at 64 connections (wrk against a tarnwick-host and the test database).
tw_bench(query_price_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/query_price_bench.cc LIBS tw_e2e_support tw_util)
add_dependencies(query_price_bench Tarnwick tarnwick-host)
