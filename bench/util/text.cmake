# MD5, GBK <-> UTF-8 and the JSON readers against OpenSSL and iconv (OpenSSL is linked here only).
find_package(benchmark REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
if(TARGET tw_util)
  tw_bench(util_text_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/text_bench.cc
    LIBS tw_util benchmark::benchmark OpenSSL::Crypto)
endif()
