# orba_add_library(name [DIR folder] [RECURSE] [DEPS targets...])
# Builds every .cpp of src/<folder> (default: src/<name>) into the static
# library orba_<name>; with RECURSE also those of its subfolders (a layer
# split into folders by role). A layer is added once its folder has sources.
function(orba_add_library name)
  cmake_parse_arguments(ARG "RECURSE" "DIR" "DEPS" ${ARGN})
  if(NOT ARG_DIR)
    set(ARG_DIR ${name})
  endif()
  if(ARG_RECURSE)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${ARG_DIR}/*.cpp)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${ARG_DIR}/*.cpp)
  endif()
  if(NOT srcs)
    message(FATAL_ERROR "src/${ARG_DIR} holds no sources for orba_${name}")
  endif()
  add_library(orba_${name} STATIC ${srcs})
  target_include_directories(orba_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(orba_${name} PUBLIC ${ARG_DEPS})
endfunction()

# orba_add_tests(name [DEPS targets...])
# Builds every *_test.cpp of tests/<name> into the executable orba_<name>_tests
# and registers each GoogleTest case with CTest. The main comes from the test
# support library (tests/support/test_main.cpp). A parameterised case is
# named by its instantiation's name generator (or its index), never by the
# printed bytes of its parameter, which hold heap addresses that change
# from run to run.
function(orba_add_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${name}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(orba_${name}_tests ${srcs})
  target_link_libraries(orba_${name}_tests PRIVATE orba_test_support ${ARG_DEPS} GTest::gtest)
  gtest_discover_tests(orba_${name}_tests
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
                       DISCOVERY_TIMEOUT 120
                       NO_PRETTY_VALUES
                       PROPERTIES TIMEOUT 600)
endfunction()
