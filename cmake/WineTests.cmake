# Every test .exe runs under Wine in a private prefix under the build folder, never ~/.wine:
# a 32-bit prefix for the win32 build, a 64-bit one for the win64 build.
set(QUILO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the test run")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run)

# Windows form of a build path, as the programs under Wine see it (drive Z: is the root),
# escaped for a C string literal.
function(quilo_windows_path out path)
    string(REPLACE "/" "\\\\" _w "${path}")
    set(${out} "Z:${_w}" PARENT_SCOPE)
endfunction()

# A test executable run through CTest under Wine; all of them need the prefix fixture.
function(quilo_add_wine_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE quilo_test_support GTest::gtest ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED wineprefix
        RESOURCE_LOCK wineprefix
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "WINEPREFIX=${QUILO_WINEPREFIX};QUILO_ARCH=${QUILO_ARCH};${T_ENVIRONMENT}")
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
