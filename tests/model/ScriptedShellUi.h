#pragma once

#include "uKOVA_Misc.h"

#include <QStringList>

// Answers the questions of shell operations for one test and records them; puts the default
// (no user interface) back when it goes.
class TScriptedShellUi final
{
public:
    TScriptedShellUi()
    {
        SetShellOperationUi([this](TWindowHandle, quint16) {
            TFileOpCallbacks callbacks;
            callbacks.AskReplace = [this](const QString&, const QString& target) {
                ReplaceQuestions.append(target);
                return ReplaceAnswer;
            };
            callbacks.ConfirmDelete = [this](const QStringList& paths, bool) {
                DeleteQuestions += paths;
                return ConfirmDelete;
            };
            return callbacks;
        });
    }
    ~TScriptedShellUi() { SetShellOperationUi(nullptr); }
    TScriptedShellUi(const TScriptedShellUi&) = delete;
    TScriptedShellUi& operator=(const TScriptedShellUi&) = delete;

    TReplaceAnswer ReplaceAnswer = TReplaceAnswer::raNo;
    bool ConfirmDelete = true;
    QStringList ReplaceQuestions; // targets asked about
    QStringList DeleteQuestions;  // paths asked about
};
