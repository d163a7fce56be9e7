# Destination texts resolved through the place table.
tw_bench(place_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/place_bench.cc LIBS tw_server)
