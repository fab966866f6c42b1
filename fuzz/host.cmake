# libFuzzer targets on the portable core, built with clang++ when it is found
# (the host build itself may use g++, so clang++ is called directly).
#
# clang accepts only UTF-8 as execution character set, so the core sources are
# first turned into code-page 936 (GB18030 agrees with it on every character
# the literals use) and compiled as they are: their narrow literals then hold
# the same bytes as those of the g++ builds with -fexec-charset=CP936.
#
# ctest runs each target for a short fixed number of inputs from a scratch copy
# of its seed corpus (fuzz/corpus/<target>); scripts/fuzz.sh runs them longer.
find_program(RDP_CLANGXX NAMES clang++-14 clang++)
find_program(RDP_ICONV iconv)

if(RDP_CLANGXX AND RDP_ICONV)
  set(_fuzz_dir ${CMAKE_SOURCE_DIR}/fuzz)
  set(_fuzz_out ${CMAKE_BINARY_DIR}/fuzz)
  set(_fuzz_flags -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
      -fno-sanitize-recover=all -fno-omit-frame-pointer
      -Wall -Wextra -Werror -Wno-unused-parameter -Wno-invalid-source-encoding
      -I${CMAKE_SOURCE_DIR}/src)

  # The core sources each target needs, by path under src/.
  set(_core_settings  text/text.cpp settings/settings_text.cpp settings/settings_cipher.cpp
                      settings/storable_text.cpp servers/server_list.cpp)
  set(_core_launch    text/text.cpp servers/server_list.cpp launch/connection_text.cpp
                      launch/launch_text.cpp)
  set(_core_port      probe/port_number.cpp)

  set(_fuzz_targets
      "fuzz_settings_text:_core_settings"
      "fuzz_extract_between:_core_settings"
      "fuzz_port_number:_core_port"
      "fuzz_connection_text:_core_launch")

  # One code-page 936 copy of every core source any target uses.
  set(_all_core ${_core_settings} ${_core_launch} ${_core_port})
  list(REMOVE_DUPLICATES _all_core)
  foreach(_rel ${_all_core})
    set(_converted ${_fuzz_out}/src/${_rel})
    get_filename_component(_cdir ${_converted} DIRECTORY)
    add_custom_command(OUTPUT ${_converted}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_cdir}
      COMMAND ${RDP_ICONV} -f UTF-8 -t GB18030 -o ${_converted} ${CMAKE_SOURCE_DIR}/src/${_rel}
      DEPENDS ${CMAKE_SOURCE_DIR}/src/${_rel}
      COMMENT "code page 936 copy of src/${_rel}"
      VERBATIM)
  endforeach()
  file(GLOB_RECURSE _headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.h)

  set(_fuzz_binaries)
  foreach(_entry ${_fuzz_targets})
    string(REPLACE ":" ";" _pair ${_entry})
    list(GET _pair 0 _name)
    list(GET _pair 1 _var)
    set(_sources)
    foreach(_rel ${${_var}})
      list(APPEND _sources ${_fuzz_out}/src/${_rel})
    endforeach()
    add_custom_command(OUTPUT ${_fuzz_out}/${_name}
      COMMAND ${RDP_CLANGXX} ${_fuzz_flags} ${_fuzz_dir}/${_name}.cpp ${_sources}
              -o ${_fuzz_out}/${_name}
      DEPENDS ${_fuzz_dir}/${_name}.cpp ${_fuzz_dir}/fuzz_input.h ${_sources} ${_headers}
      COMMENT "libFuzzer target ${_name}"
      VERBATIM)
    list(APPEND _fuzz_binaries ${_fuzz_out}/${_name})

    # A fixed seed keeps the short runs close to one another, though not the
    # same: libFuzzer's runs still differ a little from one to the next (three
    # runs of one binary here reached two different corpora), so a short run
    # can still find a new input. New ground is covered by the longer runs of
    # scripts/fuzz.sh; what they find becomes a case of
    # tests/unit/fuzz_regressions_test.cpp.
    add_test(NAME ${_name}
      COMMAND bash ${_fuzz_dir}/run_target.sh ${_fuzz_out}/${_name} ${_fuzz_dir}/corpus/${_name}
              ${_fuzz_out}/artifacts -runs=20000 -max_len=4096 -seed=1)
    set_tests_properties(${_name} PROPERTIES TIMEOUT 60 LABELS fuzz)
  endforeach()
  add_custom_target(fuzz_targets ALL DEPENDS ${_fuzz_binaries})
else()
  message(STATUS "clang++ or iconv not found: no fuzz targets (scripts/setup.sh installs clang)")
endif()
