# The PDA's shipment entry, re-weighing and the records made from pre-input shipments and transfer
# bags, over HTTP through DoPda, every stored row read back.
tw_e2e_test(e2e_pda_entry SOURCES ${CMAKE_CURRENT_LIST_DIR}/pda_entry_test.cc LIBS tw_util)
