# The whole ID-card picture work through the image library, against ImageMagick (its convert) and
# libvips (when libvips-dev is installed) on the same inputs, in the same run.
find_package(benchmark REQUIRED)
tw_bench(idcard_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/idcard_bench.cc
  LIBS tw_image benchmark::benchmark)
pkg_check_modules(VIPSCPP IMPORTED_TARGET vips-cpp)
if(VIPSCPP_FOUND)
  target_link_libraries(idcard_bench PRIVATE PkgConfig::VIPSCPP)
  target_compile_definitions(idcard_bench PRIVATE TW_BENCH_VIPS=1)
endif()
