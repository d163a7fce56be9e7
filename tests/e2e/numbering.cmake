tw_e2e_test(e2e_numbering SOURCES ${CMAKE_CURRENT_LIST_DIR}/numbering_test.cc LIBS tw_server)
tw_e2e_test(e2e_db SOURCES ${CMAKE_CURRENT_LIST_DIR}/db_test.cc LIBS tw_server)
