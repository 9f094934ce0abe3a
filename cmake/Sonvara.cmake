# Project-wide compile settings and helpers for targets and tests.

set(SONVARA_WARNINGS -Wall -Wextra)

if(SONVARA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(SONVARA_SANITIZE_THREAD)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# sonvara_warnings(target): warnings on for our own code only.
function(sonvara_warnings target)
    target_compile_options(${target} PRIVATE ${SONVARA_WARNINGS})
endfunction()

# sonvara_library(name SOURCES ... [DEPS ...]): a static library of one folder.
# Headers are included relative to the repository root ("dsp/nsp.h").
function(sonvara_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/sdk)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    sonvara_warnings(${name})
endfunction()

# sonvara_gtest(name SOURCES ... [DEPS ...]): one GoogleTest program, its cases
# registered with CTest one by one.
function(sonvara_gtest name)
    cmake_parse_arguments(ARG "" "WORKING_DIRECTORY" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    sonvara_warnings(${name})
    if(NOT ARG_WORKING_DIRECTORY)
        set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    gtest_discover_tests(${name} WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY}
                         DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 600)
endfunction()

# sonvara_bench(name SOURCES ... [DEPS ...]): a Google Benchmark program (built, not run by CI).
function(sonvara_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    sonvara_warnings(${name})
endfunction()
