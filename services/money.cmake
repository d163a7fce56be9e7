# The client road's money and transfers: the payment-terminal gateway "PayWsj", transfer records,
# transfer bags and the shipment-data request, with the goods-line writer the reading requests share.
target_sources(tw_services PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/goods_rows.cc
  ${CMAKE_CURRENT_LIST_DIR}/internal/transfer_bag.cc
  ${CMAKE_CURRENT_LIST_DIR}/internal/transfer_record.cc
  ${CMAKE_CURRENT_LIST_DIR}/pay_wsj.cc
  ${CMAKE_CURRENT_LIST_DIR}/transfer_bags.cc
  ${CMAKE_CURRENT_LIST_DIR}/transfer_records.cc)
