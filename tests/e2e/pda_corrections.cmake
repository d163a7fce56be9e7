# Corrections: record edits, returns, transfer receipt and shelving through DoPda against the test database.
tw_e2e_test(e2e_pda_corrections SOURCES ${CMAKE_CURRENT_LIST_DIR}/pda_corrections_test.cc LIBS tw_util)
