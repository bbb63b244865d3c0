# zor_add_library(<target> <folder>)
# One static library per top folder, made of every .cpp below it. A folder
# holding only headers gives a header-only (INTERFACE) library.
function(zor_add_library target folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
  endif()
endfunction()

# zor_link(<target> <libraries...>): link in the way the target's kind allows.
function(zor_link target)
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_link_libraries(${target} INTERFACE ${ARGN})
  else()
    target_link_libraries(${target} PUBLIC ${ARGN})
  endif()
endfunction()

# zor_add_test_binary(<target> <folder under tests/> <libraries...>)
# One GoogleTest binary per top folder, registered with CTest.
function(zor_add_test_binary target folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARGN} GTest::gmock GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
  set_tests_properties(${target} PROPERTIES ENVIRONMENT "TZ=UTC;ZOR_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()
