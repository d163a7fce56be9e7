# "DoIDCardPicSet" with two 1600 x 1200 photos over HTTP at 16 connections, beside the picture work
# alone in the same run.
tw_bench(id_card_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/id_card_bench.cc LIBS tw_e2e_support tw_server tw_util tw_image)
add_dependencies(id_card_bench Tarnwick tarnwick-host)
