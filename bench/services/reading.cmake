# Signed "PreInputData" through the host against pgbench running the same two statements.
tw_bench(pre_input_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/pre_input_bench.cc LIBS tw_e2e_support tw_util)
add_dependencies(pre_input_bench Tarnwick tarnwick-host)
