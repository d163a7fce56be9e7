# Helpers shared by every folder's CMakeLists.txt.

# Adds a folder when it holds a CMakeLists.txt (folders grow one capability at a time).
function(tw_add_subdirectory dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# Adds every direct sub-folder of the current folder that holds a CMakeLists.txt, in name order.
function(tw_add_all_subdirectories)
  cmake_parse_arguments(A "" "" "EXCEPT" ${ARGN})
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(child IN_LIST A_EXCEPT)
      continue()
    endif()
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# All text inside the system is GBK: string literals of the library, the test client and the tests
# are compiled to GBK bytes. clang has no such option; its builds (fuzzing only) keep UTF-8 literals.
function(tw_gbk target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -fexec-charset=GBK)
  endif()
endfunction()

# tw_room(name BELOW libs...): the static library of a room of the library, linking only the rooms
# below it, and its link check: a program made of every object of the room and what it links, so that
# an object using a symbol only a room above defines fails the build (the check does not run).
function(tw_room name)
  cmake_parse_arguments(R "" "" "BELOW" ${ARGN})
  add_library(${name} STATIC)
  tw_gbk(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${R_BELOW})
  if(NOT TARNWICK_FUZZ)
    add_executable(${name}_link_check ${PROJECT_SOURCE_DIR}/cmake/link_check.cc)
    target_link_libraries(${name}_link_check PRIVATE -Wl,--whole-archive $<TARGET_FILE:${name}> -Wl,--no-whole-archive
                          ${name})
    add_dependencies(${name}_link_check ${name})
  endif()
endfunction()

# tw_unit_test(name SOURCES a.cc b.cc LIBS x y): a GoogleTest program, labelled "unit".
function(tw_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  tw_gbk(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  include(GoogleTest)
  set(labels unit ${T_LABELS})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${labels}"
                       WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# tw_e2e_test(name SOURCES ... LIBS ...): a GoogleTest program that starts tarnwick-host against the
# test database; labelled "e2e"; such programs run one at a time since they share the database.
function(tw_e2e_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  tw_gbk(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE tw_e2e_support ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  add_dependencies(${name} Tarnwick tarnwick-host)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS e2e RESOURCE_LOCK dorvane TIMEOUT 600
    ENVIRONMENT "TARNWICK_BUILD_DIR=${PROJECT_BINARY_DIR};TARNWICK_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# tw_fuzz_target(name SOURCES ... LIBS ... CORPUS dir RUNS n): a libFuzzer program, labelled "fuzz";
# ctest runs it for a fixed number of iterations over its seed corpus.
function(tw_fuzz_target name)
  cmake_parse_arguments(T "" "CORPUS;RUNS" "SOURCES;LIBS" ${ARGN})
  if(NOT TARNWICK_FUZZ)
    return()
  endif()
  if(NOT T_RUNS)
    set(T_RUNS 20000)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(args -runs=${T_RUNS} -seed=1 -max_len=65536)
  if(T_CORPUS)
    # libFuzzer reads seeds from the folder; a copy keeps the source tree clean of new inputs.
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    string(JOIN " " shellArgs ${args})
    add_test(NAME ${name} COMMAND sh -c "rm -rf '${work}' && mkdir -p '${work}' && cp -r '${T_CORPUS}'/. '${work}'/ && exec '$<TARGET_FILE:${name}>' ${shellArgs} '${work}'")
  else()
    add_test(NAME ${name} COMMAND ${name} ${args})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 900)
endfunction()

# tw_bench(name SOURCES ... LIBS ...): a benchmark program in bench/ (never run by the tests).
function(tw_bench name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  tw_gbk(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_LIBS} Threads::Threads)
endfunction()

# Includes every *.cmake fragment of the current folder, in name order. Folders that several pieces of
# work share (util/, image/, core/ ...) keep one fragment per piece, so each adds its own sources.
macro(tw_include_fragments)
  file(GLOB _tw_frags ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  list(SORT _tw_frags)
  foreach(_tw_frag ${_tw_frags})
    include(${_tw_frag})
  endforeach()
endmacro()
