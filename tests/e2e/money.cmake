# The client road's money and transfers over HTTP: the payment-terminal gateway, transfer records,
# transfer bags and the shipment-data request, every stored row read back.
tw_e2e_test(e2e_pay_wsj SOURCES ${CMAKE_CURRENT_LIST_DIR}/pay_wsj_test.cc LIBS tw_util)
tw_e2e_test(e2e_transfer SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_test.cc LIBS tw_util)
