# Decode and encode of a 1600 x 1200 JPEG (baseline and progressive) and PNG through the image library,
# against the same work done through libjpeg-turbo and libpng directly, in the same run.
find_package(benchmark REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
tw_bench(raster_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/raster_bench.cc
  LIBS tw_image benchmark::benchmark PNG::PNG JPEG::JPEG)
