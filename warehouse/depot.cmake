# The warehouse road's shared request shape and procedure calls, the client look-up and the stock
# moves between depots.
target_sources(tw_warehouse PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/request.cc
  ${CMAKE_CURRENT_LIST_DIR}/clients.cc
  ${CMAKE_CURRENT_LIST_DIR}/moves.cc)
