# Benchmarks of the host build. They compile the core sources they need
# themselves, optimised and without the sanitizers of the test build, so the
# figures are those of real code rather than of instrumented code.
find_package(Threads REQUIRED)

add_executable(settings_load_bench
  ${CMAKE_SOURCE_DIR}/bench/settings_load_bench.cpp
  ${CMAKE_SOURCE_DIR}/src/text/text.cpp
  ${CMAKE_SOURCE_DIR}/src/settings/settings_cipher.cpp
  ${CMAKE_SOURCE_DIR}/src/settings/settings_text.cpp
  ${CMAKE_SOURCE_DIR}/src/servers/server_list.cpp)
target_include_directories(settings_load_bench PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(settings_load_bench PRIVATE -O2 -DNDEBUG -fexec-charset=CP936 ${RDP_WARNINGS})
target_link_libraries(settings_load_bench PRIVATE Threads::Threads)
