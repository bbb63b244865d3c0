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
# One GoogleTest binary per top folder; each test case registered with CTest.
function(zor_add_test_binary target folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp)
  # Only the threaded tests run under ThreadSanitizer: its build compiles
  # only the files that hold them, which keeps CI's extra build small.
  if(ZOR_TSAN)
    set(threaded)
    foreach(src ${sources})
      file(STRINGS ${src} hits REGEX "Threaded" LIMIT_COUNT 1)
      if(hits)
        list(APPEND threaded ${src})
      endif()
    endforeach()
    set(sources ${threaded})
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARGN} GTest::gmock GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  # Tests find checked-in files (examples/) from here, whatever the build folder.
  target_compile_definitions(${target} PRIVATE ZOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # Each case is its own CTest test, so ctest -R and CI output name the
  # failing case. Cases of one binary run one at a time, as they were written
  # to: their scratch folders are their own, but what else they share (the
  # user's settings, timing under load) is not audited case by case, and the
  # lock costs little as most cases take milliseconds.
  include(GoogleTest)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_LIST ${target}_TESTS)
  # The properties are set here, not through gtest_discover_tests: it passes
  # them on as one flat list, so the environment kept only its first entry and
  # the lock was lost. This file runs after the discovery's own, once the list
  # of cases is known; scripts/check_ctest_tests.sh checks every case.
  set(properties ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
  file(WRITE ${properties}
    "if(${target}_TESTS)\n"
    "  set_tests_properties(\${${target}_TESTS} PROPERTIES\n"
    "    ENVIRONMENT [==[TZ=UTC;ZOR_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp]==]\n"
    "    RESOURCE_LOCK ${target})\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties})
endfunction()
