# Run by "cmake --install": writes the program's desktop entry with the installed program's path
# in its Exec key and installs it into the applications folder of the prefix.
if(IS_ABSOLUTE "${KOVA_INSTALL_BINDIR}")
    set(program "${KOVA_INSTALL_BINDIR}/kova")
else()
    set(program "${CMAKE_INSTALL_PREFIX}/${KOVA_INSTALL_BINDIR}/kova")
endif()
if(IS_ABSOLUTE "${KOVA_INSTALL_DATADIR}")
    set(applications "${KOVA_INSTALL_DATADIR}/applications")
else()
    set(applications "${CMAKE_INSTALL_PREFIX}/${KOVA_INSTALL_DATADIR}/applications")
endif()
# Quoted as the desktop entry format wants it: inside the quotes "\", """, "`" and "$" take a
# backslash, every backslash of the value is doubled again, and "%" is written "%%".
string(REPLACE "\\" "\\\\" quoted "${program}")
string(REGEX REPLACE "([\"`$])" "\\\\\\1" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
set(KOVA_EXEC "\"${quoted}\"")
configure_file("${KOVA_ENTRY_TEMPLATE}" "${KOVA_ENTRY_STAGE}/kova.desktop" @ONLY)
file(INSTALL DESTINATION "${applications}" TYPE FILE FILES "${KOVA_ENTRY_STAGE}/kova.desktop")
