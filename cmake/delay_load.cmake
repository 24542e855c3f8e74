# tarn_delay_import(name dll): an import library `name` for the system DLL `dll` whose
# functions load the DLL at their first call instead of at process start. The programs
# delay-load every DLL they use that is not a known DLL, so nothing is loaded before their
# entry point has restricted the DLL search to system32. Made at configure time from the
# toolchain's own import library, so it offers exactly the functions that one does.
function(tarn_delay_import name dll)
    if(TARGET ${name})
        return()
    endif()
    get_filename_component(base ${dll} NAME_WE)
    string(TOLOWER ${base} base)
    find_library(system_import_${base} NAMES ${base} REQUIRED NO_CACHE)
    execute_process(COMMAND ${CMAKE_NM} -g ${system_import_${base}}
        OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "__imp_[^\r\n]+" imports "${symbols}")
    set(def "LIBRARY ${dll}\nEXPORTS\n")
    foreach(import ${imports})
        string(REGEX REPLACE "^__imp_" "" export ${import})
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            # 32-bit symbols carry the C underscore; the @n stays for the linker and -k
            # drops it from the name the DLL is asked for.
            string(REGEX REPLACE "^_" "" export ${export})
        endif()
        string(APPEND def "    ${export}\n")
    endforeach()
    set(dir ${CMAKE_BINARY_DIR}/delay_imports)
    file(MAKE_DIRECTORY ${dir})
    file(WRITE ${dir}/${base}.def "${def}")
    set(kill_at)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(kill_at -k)
    endif()
    execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def ${dir}/${base}.def
            --dllname ${dll} --output-delaylib ${dir}/lib${base}_delay.a
        COMMAND_ERROR_IS_FATAL ANY)
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${dir}/lib${base}_delay.a)
endfunction()
