# The goods-list walker both shipment entries share.
target_sources(tw_pricing PRIVATE ${CMAKE_CURRENT_LIST_DIR}/goods_list.cc)
