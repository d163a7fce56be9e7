# The PDA's shipment entry, re-weighing and the records made from pre-input shipments and transfer
# bags, over HTTP through DoPda, every stored row read back.
tw_e2e_test(e2e_pda_entry SOURCES ${CMAKE_CURRENT_LIST_DIR}/pda_entry_test.cc LIBS tw_util)
# The tests that write the PDA key of the dictionary (row '77') before their hosts start take turns.
set_tests_properties(e2e_pda_entry PROPERTIES RESOURCE_LOCK tw_pda_dictionary_key)
