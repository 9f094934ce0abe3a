# Installs the LV2 and LADSPA builds into PREFIX and checks what lands there.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR}
                        --component StavoModulationHosts --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "install failed:\n${output}")
endif()
set(bundle ${PREFIX}/lib/lv2/StavoModulation.lv2)
foreach(file ${bundle}/manifest.ttl ${bundle}/StavoModulation.ttl ${bundle}/StavoModulation.so
             ${PREFIX}/lib/ladspa/StavoModulation.so)
    if(NOT EXISTS ${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
execute_process(COMMAND lv2_validate ${bundle}/manifest.ttl ${bundle}/StavoModulation.ttl
                OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT report MATCHES "Found 0 errors")
    message(FATAL_ERROR "the installed bundle does not validate:\n${report}")
endif()
file(REMOVE_RECURSE ${PREFIX})
