# Copies the shipped data files FILES (a ";"-list) beside the program in the build tree, DEST.
# In a portable program folder (a "kova-portable" file in DEST) the program writes its settings
# there, so a shipped "settings.xml" then only takes the place of a missing one.
#   cmake -DFILES=... -DDEST=... -P CopyShippedData.cmake
foreach(file IN LISTS FILES)
    get_filename_component(name "${file}" NAME)
    if(name STREQUAL "settings.xml" AND EXISTS "${DEST}/kova-portable" AND EXISTS "${DEST}/${name}")
        continue()
    endif()
    file(COPY_FILE "${file}" "${DEST}/${name}" ONLY_IF_DIFFERENT)
endforeach()
