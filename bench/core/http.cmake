tw_bench(http_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/http_bench.cc LIBS tw_e2e_support tw_util PkgConfig::MHD)
add_dependencies(http_bench Tarnwick tarnwick-host)
