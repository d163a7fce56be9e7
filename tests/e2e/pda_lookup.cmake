# The PDA's lookups and events through DoPda against the test database.
tw_e2e_test(e2e_pda_lookup SOURCES ${CMAKE_CURRENT_LIST_DIR}/pda_lookup_test.cc LIBS tw_util)
