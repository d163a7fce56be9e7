# The Qt 5 Widgets dialog and the program that opens it (or runs the command line).
find_package(Qt5 REQUIRED COMPONENTS Widgets)
add_library(tw_testclient_dialog STATIC ${CMAKE_CURRENT_LIST_DIR}/dialog.cc ${CMAKE_CURRENT_LIST_DIR}/dialog.h)
set_target_properties(tw_testclient_dialog PROPERTIES AUTOMOC ON)
# Qt's headers pull in <chrono>, whose C++20 unit names hold a character GBK lacks ("\u00b5s"). The
# dialog's literals are compiled as GB18030, which writes every GBK character as the same GBK bytes
# and still has a code for that one.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(tw_testclient_dialog PRIVATE -fexec-charset=GB18030)
endif()
target_link_libraries(tw_testclient_dialog PUBLIC tw_testclient Qt5::Widgets)

add_executable(tarnwick-testclient ${CMAKE_CURRENT_LIST_DIR}/main.cc)
tw_gbk(tarnwick-testclient)
target_link_libraries(tarnwick-testclient PRIVATE tw_testclient_dialog)
set_target_properties(tarnwick-testclient PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
