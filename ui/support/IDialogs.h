#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>

class QLineEdit;
class QWidget;

// Every message box, question, input prompt, file and folder dialog and balloon tip of the
// program goes through this one interface: the Qt implementation for users, a scripted one for
// tests.

enum class TMsgDlgType
{
    mtWarning,
    mtError,
    mtInformation,
    mtConfirmation,
    mtCustom
};

enum TMsgDlgBtn
{
    mbYes = 0x01,
    mbNo = 0x02,
    mbOK = 0x04,
    mbCancel = 0x08,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
    mbYesToAll = 0x80,
    mbNoToAll = 0x100,
};
Q_DECLARE_FLAGS(TMsgDlgButtons, TMsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgDlgButtons)

enum class TModalResult
{
    mrNone,
    mrOk,
    mrCancel,
    mrAbort,
    mrRetry,
    mrIgnore,
    mrYes,
    mrNo,
    mrYesToAll,
    mrNoToAll
};

enum class TBalloonIcon
{
    biNone,
    biInfo,
    biWarning,
    biError
};

struct TFileDialogOptions
{
    QString Title;
    // "Text|*.a;*.b|Text|*.*" as the language files write it.
    QString Filter;
    QString DefaultExt; // without the dot
    QString InitialDir;
    QString FileName;
    bool MultiSelect = false;
    // A save prompt asks before it names an existing file; off where the caller decides what
    // becomes of that file itself (and would otherwise be the second to ask).
    bool ConfirmOverwrite = true;
};

class IDialogs
{
public:
    virtual ~IDialogs() = default;

    // A message box with the given icon and buttons; mrCancel (or mrNo without Cancel) when the
    // user closes it otherwise.
    virtual TModalResult MessageBox(QWidget* owner, const QString& caption, const QString& text,
                                    TMsgDlgType type, TMsgDlgButtons buttons) = 0;
    // An input prompt; false on cancel (Value then unchanged).
    virtual bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt,
                            QString& value) = 0;
    // Open dialog: the chosen files (one unless MultiSelect), empty on cancel.
    virtual QStringList OpenFiles(QWidget* owner, const TFileDialogOptions& options) = 0;
    // Save dialog: the chosen name, empty on cancel.
    virtual QString SaveFile(QWidget* owner, const TFileDialogOptions& options) = 0;
    // Folder picker: false on cancel (Path then unchanged).
    virtual bool BrowseForFolder(QWidget* owner, const QString& title, QString& path) = 0;
    // A balloon tip pointing at an edit field.
    virtual void ShowBalloonTip(QLineEdit* edit, const QString& title, const QString& text,
                                TBalloonIcon icon) = 0;
    // The box that shows an error nobody handled (the operation stopped there).
    virtual void ShowException(QWidget* owner, const QString& message) = 0;
};

// The dialogs in use. The program installs the Qt implementation at start-up; tests install a
// scripted one. Never null: without one installed, the Qt implementation serves.
IDialogs& Dialogs();
// Installs Dialogs (not owned); nullptr restores the Qt implementation.
void SetDialogs(IDialogs* dialogs);

// The program's name, which the dialogs show after their own caption ("Warning — UT2004 KOVA").
// The start-up sets it, from the settings once they are read.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();

// Delphi-style filter text ("Zip files|*.zip|All|*.*") to Qt's ("Zip files (*.zip);;All (*)").
QString QtFilterFromFilter(const QString& filter);
