tw_unit_test(platform_codepage_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codepage_test.cc
  LIBS tw_platform)
