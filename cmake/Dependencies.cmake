# Third-party code for the target: OpenCV core (built by scripts/setup) and GoogleTest sources.
if(NOT DEFINED QUILO_DEPS)
    if(DEFINED ENV{QUILO_DEPS})
        set(QUILO_DEPS $ENV{QUILO_DEPS})
    elseif(DEFINED ENV{XDG_CACHE_HOME})
        set(QUILO_DEPS $ENV{XDG_CACHE_HOME}/quilovideo)
    else()
        set(QUILO_DEPS $ENV{HOME}/.cache/quilovideo)
    endif()
endif()
set(QUILO_DEPS ${QUILO_DEPS} CACHE PATH "Dependency cache made by scripts/setup")

# One OpenCV build per target architecture.
set(_opencv_prefix ${QUILO_DEPS}/opencv-${CMAKE_SYSTEM_PROCESSOR})
set(_opencv_lib ${_opencv_prefix}/lib/libopencv_core460.a)
if(NOT EXISTS ${_opencv_lib})
    message(FATAL_ERROR "OpenCV core for the target is missing (${_opencv_lib}); run scripts/setup.")
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
