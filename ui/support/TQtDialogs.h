#pragma once

#include "IDialogs.h"

// The dialogs a user sees: Qt's message boxes, input and file dialogs.
class TQtDialogs final : public IDialogs
{
public:
    TModalResult MessageBox(QWidget* owner, const QString& caption, const QString& text,
                            TMsgDlgType type, TMsgDlgButtons buttons) override;
    bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt,
                    QString& value) override;
    QStringList OpenFiles(QWidget* owner, const TFileDialogOptions& options) override;
    QString SaveFile(QWidget* owner, const TFileDialogOptions& options) override;
    bool BrowseForFolder(QWidget* owner, const QString& title, QString& path) override;
    void ShowBalloonTip(QLineEdit* edit, const QString& title, const QString& text,
                        TBalloonIcon icon) override;
    void ShowException(QWidget* owner, const QString& message) override;
};

// The window a dialog of Owner is placed over: Owner, or none while Owner's window is not on the
// screen yet (the main window before and during its first showing), since over it a dialog
// would open in the screen's corner; without one it is centred on the screen. A window that
// stays on top (the archive window) owns its dialogs as soon as it is shown.
QWidget* DialogParent(QWidget* owner);
// Caption with the program's name after it, as the desktop names a program's windows.
QString DialogCaption(const QString& caption);
