# The Wine end-to-end tests, registered in the host build when RDP_WIN64_DIR
# names a built win64 tree (rdpconnector.exe and the helpers of tests/wine).
# One Wine prefix, display and wineserver serve the whole run: the fixture
# tests wine_setup and wine_cleanup make and remove them, and the tests run
# one at a time.
set(RDP_WIN64_DIR "" CACHE PATH "build folder of the win64 preset; enables the Wine tests")

if(RDP_WIN64_DIR)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(_wine_dir ${CMAKE_CURRENT_LIST_DIR})
  set(_wine_env
      RDP_SOURCE_DIR=${CMAKE_SOURCE_DIR}
      RDP_WIN64_DIR=${RDP_WIN64_DIR}
      RDP_WINE_STATE=${CMAKE_BINARY_DIR}/wine-state.json
      PYTHONDONTWRITEBYTECODE=1)

  add_test(NAME wine_setup COMMAND ${Python3_EXECUTABLE} ${_wine_dir}/harness.py setup)
  set_tests_properties(wine_setup PROPERTIES
      FIXTURES_SETUP wine RESOURCE_LOCK wine TIMEOUT 300 ENVIRONMENT "${_wine_env}")
  add_test(NAME wine_cleanup COMMAND ${Python3_EXECUTABLE} ${_wine_dir}/harness.py cleanup)
  set_tests_properties(wine_cleanup PROPERTIES
      FIXTURES_CLEANUP wine RESOURCE_LOCK wine TIMEOUT 120 ENVIRONMENT "${_wine_env}")

  file(GLOB _wine_tests CONFIGURE_DEPENDS ${_wine_dir}/test_*.py)
  foreach(_test ${_wine_tests})
    get_filename_component(_name ${_test} NAME_WE)
    add_test(NAME wine_${_name} COMMAND ${Python3_EXECUTABLE} ${_test} -v
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(wine_${_name} PROPERTIES
        FIXTURES_REQUIRED wine RESOURCE_LOCK wine TIMEOUT 900 ENVIRONMENT "${_wine_env}")
  endforeach()
endif()
