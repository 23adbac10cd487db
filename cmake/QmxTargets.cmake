# Warning flags for our own targets only (never for third-party code).
function(qmx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # GCC 12 at -O3 reports false -Wrestrict overlaps inside libstdc++'s std::string
  # concatenation (GCC bug 105329), which -Werror would turn into a failed Release build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
  endif()
  if(QMX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# qmx_test(<name> SOURCES ... LIBS ...): one GoogleTest executable, discovered by CTest at test time.
function(qmx_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  qmx_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/c_src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    QMX_TEST_REF_DIR="${PROJECT_SOURCE_DIR}/tests/ref"
    QMX_TEST_BINARY_DIR="${PROJECT_BINARY_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  # GCC 12 with sanitizers at -O1 reports false -Wmaybe-uninitialized inside libstdc++'s
  # <regex> (std::function moves, GCC bug 105562), which tests use and -Werror would fail.
  if(QMX_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${name} PRIVATE -Wno-maybe-uninitialized)
  endif()
  set(_labels unit)
  if(ARG_LABELS)
    set(_labels ${ARG_LABELS})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${_labels}"
    ENVIRONMENT "OPENBLAS_NUM_THREADS=1")
endfunction()
