# SPDX-License-Identifier: GPL-3.0-or-later
# Shared build rules: one static library per top-level directory, warnings on, and the test runners.

function(vantrel_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(vantrel_${name} STATIC ${ARG_SOURCES})
    add_library(Vantrel::${name} ALIAS vantrel_${name})
    # A library's own folder is its include path; consumers see only what they link.
    target_include_directories(vantrel_${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
    target_link_libraries(vantrel_${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    target_compile_options(vantrel_${name} PRIVATE -Wall -Wextra -Wno-unused-parameter)
    target_compile_definitions(vantrel_${name} PRIVATE QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)
endfunction()

set(VANTREL_X11_HARNESS "${PROJECT_SOURCE_DIR}/tests/harness/with-x11.sh")
set(VANTREL_WAYLAND_HARNESS "${PROJECT_SOURCE_DIR}/tests/harness/with-wayland.sh")

# A test executable built from SOURCES; KIND is "pure" (no display at all), "offscreen" (widgets
# without a display), "x11" (a private X server, window manager and session bus) or "wayland" (a
# private headless sway and session bus).
function(vantrel_test name)
    cmake_parse_arguments(ARG "" "KIND;TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS;HARNESS_ARGS;ENVIRONMENT" ${ARGN})
    if(NOT ARG_KIND)
        set(ARG_KIND pure)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Vantrel::testsupport)
    target_compile_options(${name} PRIVATE -Wall -Wextra -Wno-unused-parameter)
    if(ARG_KIND STREQUAL "x11" OR ARG_KIND STREQUAL "wayland")
        # The harness enforces the timeout itself so that it can tear down what it started.
        math(EXPR ctest_timeout "${ARG_TIMEOUT} + 30")
        if(ARG_KIND STREQUAL "x11")
            set(harness "${VANTREL_X11_HARNESS}")
        else()
            set(harness "${VANTREL_WAYLAND_HARNESS}")
        endif()
        add_test(NAME ${name} COMMAND "${harness}" --timeout ${ARG_TIMEOUT} ${ARG_HARNESS_ARGS}
            -- $<TARGET_FILE:${name}>)
        set_tests_properties(${name} PROPERTIES LABELS ${ARG_KIND} TIMEOUT ${ctest_timeout})
        # A resource outside the private session (a fixed file a service writes) is held by one
        # test at a time.
        if(ARG_RESOURCE_LOCK)
            set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
        endif()
    else()
        add_test(NAME ${name} COMMAND ${name})
        if(ARG_KIND STREQUAL "offscreen")
            set(env "QT_QPA_PLATFORM=offscreen")
            if(ARG_ENVIRONMENT)
                # ENVIRONMENT may give the offscreen platform its own screens (configfile=…).
                set(env "${ARG_ENVIRONMENT}")
            endif()
        else()
            # A pure test that reaches for a display is a layering fault: make it fail loudly.
            set(env "QT_QPA_PLATFORM=minimal;DISPLAY=")
        endif()
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" LABELS ${ARG_KIND} TIMEOUT ${ARG_TIMEOUT})
    endif()
endfunction()
