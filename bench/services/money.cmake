# Command 102 of the payment-terminal gateway through the host against the bare signed DoApp path.
tw_bench(pay_wsj_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/pay_wsj_bench.cc LIBS tw_e2e_support tw_util)
add_dependencies(pay_wsj_bench Tarnwick tarnwick-host)
