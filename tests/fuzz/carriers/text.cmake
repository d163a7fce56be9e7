# What carriers and settings files hand the carrier clients, under arbitrary bytes: label URLs, chunk
# size lines, compressed bodies, SF error lists, XML escaping and the three settings readers.
tw_fuzz_target(carriers_text_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_fuzz.cc LIBS tw_carriers
               CORPUS ${CMAKE_CURRENT_LIST_DIR}/text_corpus RUNS 20000)
