# kennel_add_test(NAME name SOURCES a.cpp b.cpp [LIBS lib...] [ENV VAR=value...] [TIMEOUT s] [LABELS l...])
# Builds one Qt Test program and registers it with CTest on the offscreen platform.
function(kennel_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE kennel_test_support Qt6::Test ${T_LIBS})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KENNEL_BIN_DIR=${KENNEL_BIN_DIR};KENNEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};${T_ENV}")
endfunction()
