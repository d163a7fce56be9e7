# The PDA road's shared helpers (unit).
tw_unit_test(pda_common_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/pda_common_test.cc LIBS tw_pda)
