# Signed "PreInputSet" batches of 20 shipments through the host: stored records per second and the
# latency of a batch.
tw_bench(pre_input_set_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/pre_input_set_bench.cc LIBS tw_e2e_support tw_util)
add_dependencies(pre_input_set_bench Tarnwick tarnwick-host)
