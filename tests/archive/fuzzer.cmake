# arvex_add_fuzzer(NAME <name> SOURCES ... LIBS ... SEEDS <folder> [DICT <file>])
# A libFuzzer target (ARVEX_FUZZ builds only), part of fuzz_suite, with a short CTest run
# labelled "fuzz" that starts from the seed folder and keeps what it finds in the build.
# A dictionary named <name>.dict beside the target's sources is used by tools/run-fuzzers too.
function(arvex_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;SEEDS;DICT" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  # Unlike the rest of the test code it runs for long: optimised, as the libraries it uses.
  target_compile_options(${F_NAME} PRIVATE -O1)
  add_dependencies(fuzz_suite ${F_NAME})
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}_corpus)
  file(MAKE_DIRECTORY ${corpus})
  set(dict)
  if(F_DICT)
    set(dict -dict=${F_DICT})
  endif()
  add_test(NAME ${F_NAME}
    COMMAND ${F_NAME} -max_total_time=20 -timeout=10 -rss_limit_mb=2048 ${dict}
            -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}- ${corpus} ${F_SEEDS})
  set_tests_properties(${F_NAME} PROPERTIES LABELS fuzz)
endfunction()
