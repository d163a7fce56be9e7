# Signed "pdawInConfirm" through the host at 16 connections, each confirming notices of its own.
tw_bench(in_confirm_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/in_confirm_bench.cc LIBS tw_e2e_support tw_util)
add_dependencies(in_confirm_bench Tarnwick tarnwick-host)
