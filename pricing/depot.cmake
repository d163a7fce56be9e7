# Depot settings and the container's depot and client lists, shared by the warehouse and PDA roads.
target_sources(tw_pricing PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/depot_cache.cc
  ${CMAKE_CURRENT_LIST_DIR}/depot_settings.cc)
