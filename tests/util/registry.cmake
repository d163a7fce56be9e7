tw_unit_test(util_registry_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_test.cc LIBS tw_util tw_tools_registry)
