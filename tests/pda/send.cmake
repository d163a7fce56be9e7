# The send scan's check text (unit).
tw_unit_test(pda_check_text_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/check_text_test.cc LIBS tw_pda)
