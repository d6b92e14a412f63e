# Third-party code for the target: OpenCV core (built by scripts/setup) and GoogleTest sources.
# The cache's default comes from the scripts' own definition, so that the two never differ.
if(NOT DEFINED QUILO_DEPS)
    execute_process(COMMAND bash -c ". '${CMAKE_SOURCE_DIR}/scripts/env.sh' && printf %s \"$QUILO_DEPS\""
                    OUTPUT_VARIABLE _deps RESULT_VARIABLE _deps_result)
    if(NOT _deps_result EQUAL 0 OR _deps STREQUAL "")
        message(FATAL_ERROR "scripts/env.sh does not name the dependency cache")
    endif()
    set(QUILO_DEPS ${_deps})
endif()
set(QUILO_DEPS ${QUILO_DEPS} CACHE PATH "Dependency cache made by scripts/setup")

# One OpenCV build per target architecture; its library carries the version of Debian's source
# package in its name, which only setup needs to know.
set(_opencv_prefix ${QUILO_DEPS}/opencv-${CMAKE_SYSTEM_PROCESSOR})
file(GLOB _opencv_lib ${_opencv_prefix}/lib/libopencv_core[0-9]*.a)
if(NOT _opencv_lib)
    message(FATAL_ERROR "OpenCV core for the target is missing (${_opencv_prefix}/lib); run scripts/setup.")
endif()
add_library(opencv_core STATIC IMPORTED GLOBAL)
set_target_properties(opencv_core PROPERTIES
    IMPORTED_LOCATION ${_opencv_lib}
    INTERFACE_INCLUDE_DIRECTORIES ${_opencv_prefix}/include
    INTERFACE_LINK_LIBRARIES "z")

set(GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
