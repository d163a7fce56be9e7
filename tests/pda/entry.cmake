# The PDA's shipment entry without a database: the procedure calls and their piece rows, the
# volume limits, the entry's keys, checks and clamps (unit).
tw_unit_test(pda_entry_sql_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_sql_test.cc LIBS tw_pda)
# AddShipmentRecord on a pool connection against the test database with a stand-in carrier (labelled
# e2e: it needs the database).
tw_e2e_test(e2e_pda_entry_carrier SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_carrier_test.cc LIBS tw_pda)
# Runs alone: a test that restarts the database must not cut its pool's sessions.
set_tests_properties(e2e_pda_entry_carrier PROPERTIES RUN_SERIAL TRUE)
