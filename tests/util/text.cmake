tw_unit_test(util_text_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/outbuf_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/md5_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/json_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/escape_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/codepage_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/text_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/datetime_test.cc
    ${CMAKE_CURRENT_LIST_DIR}/pinyin_test.cc
  LIBS tw_util)
