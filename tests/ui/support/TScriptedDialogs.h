#pragma once

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include "IDialogs.h"

// Answers the program's dialogs from a script and records every dialog shown, so UI tests run
// without a user. Installs itself while it lives. A dialog with no scripted answer left is
// recorded as unexpected and cancelled.
class TScriptedDialogs final : public IDialogs
{
public:
    enum TKind
    {
        dkMessage,
        dkInput,
        dkOpen,
        dkSave,
        dkFolder,
        dkBalloon,
        dkException
    };

    struct TCall
    {
        TKind Kind;
        QString Caption; // caption or title
        QString Text;    // text or prompt
        TMsgDlgType Type = TMsgDlgType::mtCustom;
        TMsgDlgButtons Buttons = {};
        bool Unexpected = false;
        QString Target = {};   // the object name of the edit a balloon tip points at
        QString FileName = {}; // the name a file dialog starts with
    };

    TScriptedDialogs();
    ~TScriptedDialogs() override;

    // Scripted answers, used in order by the dialogs of the matching kind.
    void AnswerMessage(TModalResult result) { FMessages.enqueue(result); }
    void AnswerInput(const QString& value) { FInputs.enqueue(value); } // null: Cancel
    void AnswerOpen(const QStringList& files) { FOpens.enqueue(files); }
    void AnswerSave(const QString& file) { FSaves.enqueue(file); }
    void AnswerFolder(const QString& folder) { FFolders.enqueue(folder); } // empty: Cancel

    const QList<TCall>& Calls() const { return FCalls; }
    QList<TCall> CallsOf(TKind kind) const;
    int UnexpectedCount() const;
    bool AllAnswersUsed() const;
    void Clear();

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

private:
    QList<TCall> FCalls;
    QQueue<TModalResult> FMessages;
    QQueue<QString> FInputs;
    QQueue<QStringList> FOpens;
    QQueue<QString> FSaves;
    QQueue<QString> FFolders;
};
