#pragma once

#include <functional>

#include "TDialogType.h"

class QWidget;

// Makes the shell operations of the program ask their questions, show their progress and report
// their errors through the program's dialogs, with texts of the language in use.
void InstallShellOperationDialogs(QWidget* fallbackOwner,
                                  std::function<QString(TDialogType)> languageText);
