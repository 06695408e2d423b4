# One static library per folder, built from every .cpp beside its
# CMakeLists.txt; every tests/*_test.cpp below the folder becomes a test
# executable of its own, so a broken test file never blocks another's build.

function(orlex_folder_library name)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${CMAKE_CURRENT_SOURCE_DIR}")
    target_link_libraries(${name} INTERFACE ${ARG_LINKS})
  endif()
endfunction()

# orlex_folder_tests(<prefix> LINKS <libs...>)
function(orlex_folder_tests prefix)
  if(NOT ORLEX_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tests/*_test.cpp")
  foreach(test ${tests})
    get_filename_component(stem ${test} NAME_WE)
    set(target "${prefix}_${stem}")
    add_executable(${target} ${test})
    target_link_libraries(${target} PRIVATE ${ARG_LINKS} test_support GTest::gtest_main)
    gtest_discover_tests(${target}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT
        "PATH=${ORLEX_PROGRAM_DIR}:${ORLEX_ENGINE_BIN_DIR}:$ENV{PATH};ORLEX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  endforeach()
endfunction()
