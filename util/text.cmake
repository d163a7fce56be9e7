# Text, JSON, code pages, escaping, MD5, dates and pinyin.
target_sources(tw_util PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/outbuf.cc
  ${CMAKE_CURRENT_LIST_DIR}/internal/c_locale.cc
  ${CMAKE_CURRENT_LIST_DIR}/codepage.cc
  ${CMAKE_CURRENT_LIST_DIR}/gbk_table.cc
  ${CMAKE_CURRENT_LIST_DIR}/text.cc
  ${CMAKE_CURRENT_LIST_DIR}/escape.cc
  ${CMAKE_CURRENT_LIST_DIR}/html_entities.cc
  ${CMAKE_CURRENT_LIST_DIR}/json.cc
  ${CMAKE_CURRENT_LIST_DIR}/md5.cc
  ${CMAKE_CURRENT_LIST_DIR}/datetime.cc
  ${CMAKE_CURRENT_LIST_DIR}/pinyin.cc
)

# The GBK tables are generated at build time from the C library's CP936 conversion.
add_executable(tw_gen_gbk_table ${PROJECT_SOURCE_DIR}/tools/gen/gen_gbk_table.cc)
set(_tw_gbk_inc ${CMAKE_CURRENT_BINARY_DIR}/gbk_table.inc)
add_custom_command(OUTPUT ${_tw_gbk_inc}
  COMMAND tw_gen_gbk_table ${_tw_gbk_inc}
  DEPENDS tw_gen_gbk_table
  COMMENT "Generating the GBK tables")
add_custom_target(tw_gbk_table DEPENDS ${_tw_gbk_inc})
add_dependencies(tw_util tw_gbk_table)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/gbk_table.cc PROPERTIES OBJECT_DEPENDS ${_tw_gbk_inc})
target_include_directories(tw_util PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
