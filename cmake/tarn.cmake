# Build helpers shared by every directory. Source files follow one rule:
#   name.cpp          Windows-free logic, built natively (with sanitizers) and for Windows
#   name_win.cpp      Win32 glue, built only for Windows
#   name_posix.cpp    what builds without Windows (native tests, fuzz targets) use instead
#   entry_win.cpp     a program's entry point
set(TARN_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(TARN_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(TARN_VERSION_PATCH ${PROJECT_VERSION_PATCH})

configure_file(${PROJECT_SOURCE_DIR}/resources/tarn_version.h.in
    ${CMAKE_BINARY_DIR}/generated/tarn_version.h)
configure_file(${PROJECT_SOURCE_DIR}/resources/tarn.manifest.in
    ${CMAKE_BINARY_DIR}/generated/tarn.manifest @ONLY)

add_library(tarn_warnings INTERFACE)
target_compile_options(tarn_warnings INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wconversion -Wshadow -Wformat=2 -Werror>)

if(TARN_FLAVOUR STREQUAL "native")
    set(TARN_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_compile_options(${TARN_SANITIZE} -g)
    add_link_options(${TARN_SANITIZE})
elseif(TARN_FLAVOUR STREQUAL "fuzz")
    # Coverage for libFuzzer in every library; the fuzz targets link the fuzzer's main.
    set(TARN_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_compile_options(-fsanitize=fuzzer-no-link ${TARN_SANITIZE} -g -O1)
    add_link_options(${TARN_SANITIZE})
else()
    add_compile_definitions(UNICODE _UNICODE _WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX)
    # Programs and tests link only system DLLs.
    add_link_options(-static -static-libgcc -static-libstdc++)
    set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -DUNICODE -D_UNICODE")
    enable_language(RC)
    include(${CMAKE_CURRENT_LIST_DIR}/delay_load.cmake)
    # The system DLLs the programs use that are not known DLLs.
    tarn_delay_import(hid_delayed HID.DLL)
    tarn_delay_import(comctl32_delayed COMCTL32.dll)
    tarn_delay_import(oleacc_delayed OLEACC.dll)
endif()

# GoogleTest from Debian's sources, built with the same compiler as the tests (the fuzz
# build has none: its targets are libFuzzer programs).
if(NOT TARN_FLAVOUR STREQUAL "fuzz")
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    include(GoogleTest)
endif()

# tarn_portable_library(name dirs): every name.cpp in dirs (one folder or a quoted list of
# folders) that is not *_win.cpp.
function(tarn_portable_library name dir)
    set(srcs)
    foreach(d ${dir})
        file(GLOB found CONFIGURE_DEPENDS ${d}/*.cpp)
        list(APPEND srcs ${found})
    endforeach()
    list(FILTER srcs EXCLUDE REGEX "_win\\.cpp$")
    if(WIN32)
        list(FILTER srcs EXCLUDE REGEX "_posix\\.cpp$")
    endif()
    if(NOT srcs)
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${dir})
        return()
    endif()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${dir})
    target_link_libraries(${name} PUBLIC tarn_warnings)
endfunction()

# tarn_win_library(name dirs LIBS...): every *_win.cpp in dirs but entry_win.cpp.
function(tarn_win_library name dir)
    if(TARN_FLAVOUR STREQUAL "native")
        return()
    endif()
    set(srcs)
    foreach(d ${dir})
        file(GLOB found CONFIGURE_DEPENDS ${d}/*_win.cpp)
        list(APPEND srcs ${found})
    endforeach()
    list(FILTER srcs EXCLUDE REGEX "/entry_win\\.cpp$")
    if(NOT srcs)
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${dir})
        target_link_libraries(${name} INTERFACE ${ARGN})
        return()
    endif()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${dir})
    target_link_libraries(${name} PUBLIC tarn_warnings ${ARGN})
endfunction()

# tarn_program(name dir RC rcfile LIBS ...): a Windows GUI program from entry_win.cpp.
function(tarn_program name dir)
    cmake_parse_arguments(P "" "RC" "LIBS" ${ARGN})
    add_executable(${name} WIN32 ${dir}/entry_win.cpp ${P_RC})
    target_include_directories(${name} PRIVATE ${CMAKE_BINARY_DIR}/generated
        ${PROJECT_SOURCE_DIR}/resources ${dir}/resources)
    target_link_libraries(${name} PRIVATE tarn_warnings ${P_LIBS})
    target_link_options(${name} PRIVATE -municode)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${name}
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()

# tarn_test(name SOURCES ... LIBS ... [LABEL l]): a GoogleTest executable. In the native
# build it runs under the sanitizers; in the Windows builds ctest runs it through Wine.
function(tarn_test name)
    cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
    if(NOT T_LABEL)
        if(TARN_FLAVOUR STREQUAL "native")
            set(T_LABEL native)
        else()
            set(T_LABEL wine)
        endif()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE tarn_warnings ${T_LIBS} GTest::gmock GTest::gtest_main)
    if(NOT TARN_FLAVOUR STREQUAL "native")
        target_link_libraries(${name} PRIVATE tarn_test_harness)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
        PROPERTIES LABELS ${T_LABEL} TIMEOUT 300)
endfunction()
