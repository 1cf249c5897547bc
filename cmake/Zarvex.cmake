# Project-wide helpers.

# Warnings as errors on our own code only; third-party headers come in as
# system includes and stay out of it.
function(zarvex_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  target_compile_features(${target} PUBLIC cxx_std_20)
endfunction()

# zarvex_library(NAME SOURCES ... [LIBS ...])
# A static library rooted at src/ so headers are included as "model/style.h".
function(zarvex_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  zarvex_target_defaults(${name})
endfunction()

# zarvex_test(NAME SOURCES ... LIBS ... LABELS ... [TIMEOUT s])
# One GoogleTest program registered with CTest as a single test carrying the labels.
function(zarvex_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zarvex_test_support GTest::gmock GTest::gtest_main)
  zarvex_target_defaults(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT})
endfunction()
