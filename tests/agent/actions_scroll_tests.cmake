# Dispatcher and scroll engine: Windows-free decisions everywhere, the Win32 side under Wine.
tarn_test(agent_actions_scroll_logic
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/actions_logic_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/scroll_logic_test.cpp
    LIBS tarnagent_core)

if(TARN_FLAVOUR STREQUAL "win64")
    # Stand-ins for the sibling tools, placed beside the tests so that WinExec finds them in
    # the starting program's directory.
    foreach(tool veerline scalado lupina tapsmith chordwell)
        add_executable(standin_${tool} WIN32 ${CMAKE_CURRENT_LIST_DIR}/standins/standin_win.cpp)
        target_compile_definitions(standin_${tool} PRIVATE TARN_STANDIN_NAME=L"${tool}")
        if(tool STREQUAL "veerline" OR tool STREQUAL "scalado" OR tool STREQUAL "lupina")
            target_compile_definitions(standin_${tool} PRIVATE TARN_STANDIN_WINDOW=1)
        endif()
        target_link_libraries(standin_${tool} PRIVATE tarn_warnings)
        target_link_options(standin_${tool} PRIVATE -municode)
        set_target_properties(standin_${tool} PROPERTIES OUTPUT_NAME ${tool}
            RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        list(APPEND agent_standins standin_${tool})
    endforeach()

    tarn_test(agent_scroll_engine
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/scroll_engine_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/scroll_document_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/actions_test_desktop.cpp
        LIBS tarnagent_glue tarnagent_core)
    tarn_test(agent_actions
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/actions_dispatch_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/actions_test_desktop.cpp
        LIBS tarnagent_glue tarnagent_core)
    add_dependencies(agent_actions ${agent_standins})
endif()
