# "pdaRecAdd" through the host at 16 connections beside "PreInputSet" of single records: records per
# second and the latency of a request.
tw_bench(pda_entry_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/entry_bench.cc LIBS tw_e2e_support tw_util)
add_dependencies(pda_entry_bench Tarnwick tarnwick-host)
