# Writes the program's version and build time into OUTPUT from INPUT, touching OUTPUT only when
# they changed, so that a build of an unchanged tree compiles and links nothing again.
# The build time is SOURCE_DATE_EPOCH when that is set, else the time of the last commit of
# SOURCE_DIR, else CONFIGURE_TIME (a tree without its history).
#   cmake -DINPUT=... -DOUTPUT=... -DSOURCE_DIR=... -DCONFIGURE_TIME=... -DPROJECT_VERSION=...
#         -P BuildInfo.cmake
set(KOVA_BUILD_TIME_UTC "${CONFIGURE_TIME}")
if("$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
    set(KOVA_BUILD_TIME_UTC "$ENV{SOURCE_DATE_EPOCH}")
else()
    find_program(KOVA_GIT git)
    if(KOVA_GIT)
        execute_process(COMMAND "${KOVA_GIT}" -C "${SOURCE_DIR}" log -1 --format=%ct
            OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE result ERROR_QUIET)
        if(result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
            set(KOVA_BUILD_TIME_UTC "${commit_time}")
        endif()
    endif()
endif()
configure_file("${INPUT}" "${OUTPUT}" @ONLY)
