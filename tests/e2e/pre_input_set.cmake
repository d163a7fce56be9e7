# The client's writing road: "PreInputSet" and "PreInputDel" over HTTP, every stored row read back.
tw_e2e_test(e2e_pre_input_set SOURCES ${CMAKE_CURRENT_LIST_DIR}/pre_input_set_test.cc LIBS tw_util)
