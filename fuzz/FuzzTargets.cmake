# The libFuzzer targets, added by the native-fuzz preset (CMAKE_PROJECT_Vantrel_INCLUDE). Each
# links the project's own libraries, so a source file moved or added there needs nothing here.
# The project is compiled with -fsanitize=fuzzer-no-link; only these executables take the
# fuzzer runtime and its main().
set(vantrel_fuzz_dir ${CMAKE_CURRENT_LIST_DIR})

function(vantrel_add_fuzz_targets)
  set(targets request_fuzz alias_text_fuzz alias_file_fuzz databases_conf_fuzz alias_request_fuzz)
  foreach(target ${targets})
    add_executable(${target} ${vantrel_fuzz_dir}/${target}.cpp)
    target_link_libraries(${target} PRIVATE vantrel_core)
    target_include_directories(${target} PRIVATE ${vantrel_fuzz_dir})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  endforeach()
  add_custom_target(fuzz_targets DEPENDS ${targets})
endfunction()

# Run once the top-level file has defined every library.
cmake_language(DEFER CALL vantrel_add_fuzz_targets)
