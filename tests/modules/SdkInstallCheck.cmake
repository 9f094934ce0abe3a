# Installs the SDK component into WORK_DIR/prefix and builds the tone module
# from SOURCE and the recorder module from RECORDER_SOURCE against that
# prefix alone (plus Qt), as an outside module author would: pkg-config
# sonvara-sdk gives the include folder. TONE_TEST then plays the tone, and
# the frame tests record through the recorder.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component sdk
                        --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "installing the SDK failed")
endif()
file(GLOB_RECURSE pc ${WORK_DIR}/prefix/*/sonvara-sdk.pc)
if(NOT pc)
    message(FATAL_ERROR "sonvara-sdk.pc was not installed")
endif()
get_filename_component(pc_dir ${pc} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND pkg-config --cflags sonvara-sdk
                OUTPUT_VARIABLE sdk_flags RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config cannot read sonvara-sdk.pc")
endif()
unset(ENV{PKG_CONFIG_PATH})
execute_process(COMMAND pkg-config --cflags --libs Qt6Widgets
                OUTPUT_VARIABLE qt_flags RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config finds no Qt6Widgets")
endif()
separate_arguments(sdk_flags UNIX_COMMAND "${sdk_flags}")

# Every header that needs no Qt stands alone (includes what it uses) and
# compiles under C++17 as well as C++20, pedantic.
file(GLOB headers RELATIVE ${WORK_DIR}/prefix/include/sonvara ${WORK_DIR}/prefix/include/sonvara/*.h)
list(REMOVE_ITEM headers MessageEvent.h)
foreach(h IN LISTS headers)
    file(WRITE ${WORK_DIR}/header_check.cpp "#include \"sonvara/${h}\"\n")
    foreach(std c++17 c++20)
        execute_process(COMMAND ${CXX} -std=${std} -Wall -Wextra -pedantic -Werror -fsyntax-only
                                ${sdk_flags} ${WORK_DIR}/header_check.cpp
                        RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR "sonvara/${h} does not compile alone under ${std}")
        endif()
    endforeach()
endforeach()
separate_arguments(qt_flags UNIX_COMMAND "${qt_flags}")
# Nothing of the source tree may be on the include path: only the prefix.
execute_process(COMMAND ${CXX} -std=c++20 -Wall -Wextra -Werror -fPIC -shared
                        -fvisibility=hidden -DQT_NO_KEYWORDS ${sdk_flags} ${qt_flags}
                        ${SOURCE} -o ${WORK_DIR}/Tone.so
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the tone module does not build against the installed SDK")
endif()
message(STATUS "built ${WORK_DIR}/Tone.so against ${WORK_DIR}/prefix/include")
execute_process(COMMAND ${CXX} -std=c++20 -Wall -Wextra -Werror -fPIC -shared
                        -fvisibility=hidden -DQT_NO_KEYWORDS ${sdk_flags} ${qt_flags}
                        ${RECORDER_SOURCE} -o ${WORK_DIR}/Recorder.so
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the recorder module does not build against the installed SDK")
endif()

# Load it in the host and play it into a WAV file.
set(ENV{SONVARA_TONE_MODULE} ${WORK_DIR}/Tone.so)
execute_process(COMMAND ${TONE_TEST} --gtest_filter=ToneModule.* RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the module built against the installed SDK did not play")
endif()
# And record with the other in the running program (SONVARA_RECORDER_TEST:
# the frame tests, when the program is built).
if(DEFINED ENV{SONVARA_RECORDER_TEST})
    set(ENV{SONVARA_RECORDER_MODULE} ${WORK_DIR}/Recorder.so)
    execute_process(COMMAND $ENV{SONVARA_RECORDER_TEST} --gtest_filter=FrameRecorder.RecordButton*
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "the module built against the installed SDK did not record")
    endif()
endif()
