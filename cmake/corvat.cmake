# Warnings are errors on every target of ours, never on Qt's generated code paths we do not own.
function(corvat_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  target_compile_features(${target} PUBLIC cxx_std_20)
endfunction()

if(CORVAT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# One helper creates every test: a GoogleTest executable run headless on the offscreen platform,
# with the program folder known so that tests can reach HEX2BIN.EXE and the virtual target.
function(corvat_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  corvat_defaults(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
  target_compile_definitions(${name} PRIVATE CORVAT_PROGRAM_DIR="${CORVAT_PROGRAM_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0")
endfunction()

# Every *_test.cpp of the calling folder becomes the test <prefix>_<name>, linked with LIBS and built after
# DEPENDS (programs the tests start from the program folder).
function(corvat_add_folder_tests prefix)
  cmake_parse_arguments(ARG "" "" "LIBS;DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(source ${sources})
    get_filename_component(name ${source} NAME_WE)
    corvat_add_test(${prefix}_${name} SOURCES ${source} LIBS ${ARG_LIBS})
    target_include_directories(${prefix}_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    foreach(program ${ARG_DEPENDS})
      if(TARGET ${program})
        add_dependencies(${prefix}_${name} ${program})
      endif()
    endforeach()
  endforeach()
endfunction()
