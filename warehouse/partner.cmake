# The partner door's warehouse requests: orders, placed goods, goods-in records and their totals.
target_sources(tw_warehouse PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/order_list.cc
  ${CMAKE_CURRENT_LIST_DIR}/partner_requests.cc)
