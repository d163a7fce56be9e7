# The PDA's shipment entry, re-weighing and the records made from pre-input shipments and transfer
# bags, over HTTP through DoPda, every stored row read back.
tw_e2e_test(e2e_pda_entry SOURCES ${CMAKE_CURRENT_LIST_DIR}/pda_entry_test.cc LIBS tw_util)
# Runs alone: it writes the dictionary's PDA key (row '77') before its host starts, which other
# suites write too, and a test that restarts the database must not cut its sessions.
set_tests_properties(e2e_pda_entry PROPERTIES RUN_SERIAL TRUE)
