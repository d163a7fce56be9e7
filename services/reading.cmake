# The client's reading road: pre-input and shipment queries, fees and totals, client information
# and authentication, the service-kind list, the price quote.
target_sources(tw_services PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/client_info.cc
  ${CMAKE_CURRENT_LIST_DIR}/fee_query.cc
  ${CMAKE_CURRENT_LIST_DIR}/pre_input_query.cc
  ${CMAKE_CURRENT_LIST_DIR}/query_price.cc)
