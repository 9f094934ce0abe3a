# SONVARA_FUZZ=ON: a build of the fuzz targets only (clang's libFuzzer with
# AddressSanitizer and UndefinedBehaviorSanitizer), over the window-free
# libraries they read files with. scripts/fuzz.sh makes and runs it.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "SONVARA_FUZZ needs clang (scripts/fuzz.sh picks clang++-16)")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)

foreach(dir sdk dsp xml platform shell ui plugin)
    add_subdirectory(${dir})
endforeach()
add_subdirectory(tests/fuzz)
