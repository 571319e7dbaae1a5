# Fails when the package reader includes anything of Qt or of our other folders, when the
# model or the platform layer includes widgets, or when a page or dialog includes the main
# window (pages and dialogs reach what they share through the page context).
set(bad "")
function(check_includes regex)
    file(GLOB_RECURSE files ${ARGN})
    foreach(f ${files})
        file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]${regex}")
        if(lines)
            list(APPEND bad "${f}: ${lines}")
        endif()
    endforeach()
    set(bad "${bad}" PARENT_SCOPE)
endfunction()

check_includes("(Q|q[a-z]|platform/|model/|ui/)"
    ${SOURCE_DIR}/package_reader/*.h ${SOURCE_DIR}/package_reader/*.cpp)
check_includes("(QtWidgets|QWidget|QDialog|QMessageBox|QApplication|QMainWindow|QFileDialog|QAbstractButton|QLineEdit|QAction|ui/)"
    ${SOURCE_DIR}/model/*.h ${SOURCE_DIR}/model/*.cpp
    ${SOURCE_DIR}/platform/*.h ${SOURCE_DIR}/platform/*.cpp)
check_includes("([^>\"]*/)?(ui_)?TfrmMain\\.h[>\"]"
    ${SOURCE_DIR}/ui/pages/*.h ${SOURCE_DIR}/ui/pages/*.cpp
    ${SOURCE_DIR}/ui/dialogs/*.h ${SOURCE_DIR}/ui/dialogs/*.cpp)

if(bad)
    string(REPLACE ";" "\n" text "${bad}")
    message(FATAL_ERROR "Layering broken:\n${text}")
endif()
