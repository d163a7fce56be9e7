# The dialog under Qt's offscreen platform, driven with QTest (the test
# program selects the platform itself).
find_package(Qt5 REQUIRED COMPONENTS Widgets Test)
tw_unit_test(testclient_dialog_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cc
  LIBS tw_testclient_dialog tw_testclient_fake_server Qt5::Test)
# Qt's headers need a character GBK lacks; GB18030 writes every GBK character as its GBK bytes.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(testclient_dialog_test PRIVATE -fexec-charset=GB18030)
endif()
