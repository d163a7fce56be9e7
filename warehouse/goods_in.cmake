# Goods in: notices and pictures, pick, check and confirm, and the one-step goods in.
target_sources(tw_warehouse PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/internal/goods_in.cc
  ${CMAKE_CURRENT_LIST_DIR}/goods_in.cc
  ${CMAKE_CURRENT_LIST_DIR}/goods_in_notices.cc)
