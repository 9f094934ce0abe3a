# SONVARA_FUZZ=ON: a build of the fuzz targets only (clang's libFuzzer with
# AddressSanitizer and UndefinedBehaviorSanitizer), over the window-free
# libraries they read files with. scripts/fuzz.sh makes and runs it.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "SONVARA_FUZZ needs clang (scripts/fuzz.sh picks clang++-16)")
endif()
# The coverage ignore list is passed under a name made from its contents:
# neither ninja nor ccache sees the file itself, but both see a new flag.
file(MD5 ${PROJECT_SOURCE_DIR}/cmake/FuzzCoverageIgnore.txt _ignore_md5)
set(_ignore_list ${CMAKE_BINARY_DIR}/FuzzCoverageIgnore-${_ignore_md5}.txt)
configure_file(${PROJECT_SOURCE_DIR}/cmake/FuzzCoverageIgnore.txt ${_ignore_list} COPYONLY)
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined -fsanitize-coverage-ignorelist=${_ignore_list})
add_link_options(-fsanitize=address,undefined)

foreach(dir sdk dsp xml platform shell ui plugin)
    add_subdirectory(${dir})
endforeach()

# The plug-in's signal processing compares loop counters and sample
# positions, never bytes of the input: tracing those comparisons took a third
# of the stream fuzzer's time and guided nothing. Its edges are still
# counted.
set(_dsp_sources)
foreach(file BlockProcessor DrumDetector PeriodSplicer PitchTracker ToneShifter)
    list(APPEND _dsp_sources ${PROJECT_SOURCE_DIR}/plugin/${file}.cpp)
endforeach()
set_source_files_properties(${_dsp_sources} DIRECTORY ${PROJECT_SOURCE_DIR}/plugin
                            PROPERTIES COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)
add_subdirectory(tests/fuzz)
