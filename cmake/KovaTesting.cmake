find_package(GTest REQUIRED)
include(GoogleTest)

# Where the real game files live; tests that need them skip when the folder is absent.
set(KOVA_REALDATA_DIR "${CMAKE_SOURCE_DIR}/../shared/realdata/ut2004" CACHE PATH
    "Folder of real game files read by the tests")

# A GoogleTest executable made of every .cpp of one test folder.
function(kova_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    target_compile_options(${name} PRIVATE ${KOVA_WARNINGS})
    target_compile_definitions(${name} PRIVATE
        KOVA_REALDATA_DIR="${KOVA_REALDATA_DIR}"
        KOVA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    gtest_discover_tests(${name}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        DISCOVERY_TIMEOUT 60)
endfunction()

# One Qt Test executable per test class, run offscreen with a fixed locale.
function(kova_add_qtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
    target_compile_options(${name} PRIVATE ${KOVA_WARNINGS})
    target_compile_definitions(${name} PRIVATE
        KOVA_REALDATA_DIR="${KOVA_REALDATA_DIR}"
        KOVA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8"
        TIMEOUT 300)
endfunction()
