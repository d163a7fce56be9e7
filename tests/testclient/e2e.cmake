# The test client against the real tarnwick-host: each API type, unsigned and signed.
tw_e2e_test(e2e_testclient SOURCES ${CMAKE_CURRENT_LIST_DIR}/e2e_test.cc LIBS tw_testclient)
