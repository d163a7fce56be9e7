# A signed PDA lookup ("pdaSpInfo") over HTTP at 64 connections beside the door's bare signed path
# (wrk against a tarnwick-host and the test database).
tw_bench(pda_lookup_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/pda_lookup_bench.cc LIBS tw_e2e_support tw_util)
add_dependencies(pda_lookup_bench Tarnwick tarnwick-host)
