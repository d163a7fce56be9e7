# HttpExecute against libcurl: GETs of a 100 KB body from the fake carrier server on keep-alive, one
# thread, in the same run (libcurl is used by this benchmark only).
find_package(CURL)
if(CURL_FOUND)
  tw_bench(carriers_http_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/http_client_bench.cc
           LIBS tw_server tw_fake_carrier CURL::libcurl)
endif()
