#include "TScriptedDialogs.h"

#include <QLineEdit>

TScriptedDialogs::TScriptedDialogs()
{
    SetDialogs(this);
}

TScriptedDialogs::~TScriptedDialogs()
{
    SetDialogs(nullptr);
}

QList<TScriptedDialogs::TCall> TScriptedDialogs::CallsOf(TKind kind) const
{
    QList<TCall> calls;
    for (const TCall& call : FCalls) {
        if (call.Kind == kind)
            calls << call;
    }
    return calls;
}

int TScriptedDialogs::UnexpectedCount() const
{
    int count = 0;
    for (const TCall& call : FCalls)
        count += call.Unexpected ? 1 : 0;
    return count;
}

bool TScriptedDialogs::AllAnswersUsed() const
{
    return FMessages.isEmpty() && FInputs.isEmpty() && FOpens.isEmpty() && FSaves.isEmpty() &&
           FFolders.isEmpty();
}

void TScriptedDialogs::Clear()
{
    FCalls.clear();
    FMessages.clear();
    FInputs.clear();
    FOpens.clear();
    FSaves.clear();
    FFolders.clear();
}

TModalResult TScriptedDialogs::MessageBox(QWidget*, const QString& caption, const QString& text,
                                          TMsgDlgType type, TMsgDlgButtons buttons)
{
    TCall call{dkMessage, caption, text, type, buttons};
    TModalResult result = TModalResult::mrOk;
    const bool question = buttons & ~TMsgDlgButtons(mbOK);
    if (!FMessages.isEmpty())
        result = FMessages.dequeue();
    else if (question) {
        call.Unexpected = true;
        result = buttons.testFlag(mbCancel) ? TModalResult::mrCancel : TModalResult::mrNo;
    }
    FCalls << call;
    return result;
}

bool TScriptedDialogs::InputQuery(QWidget*, const QString& caption, const QString& prompt,
                                  QString& value)
{
    TCall call{dkInput, caption, prompt};
    call.Unexpected = FInputs.isEmpty();
    FCalls << call;
    if (call.Unexpected)
        return false;
    const QString answer = FInputs.dequeue();
    if (answer.isNull())
        return false;
    value = answer;
    return true;
}

QStringList TScriptedDialogs::OpenFiles(QWidget*, const TFileDialogOptions& options)
{
    TCall call{dkOpen, options.Title, options.Filter};
    call.FileName = options.FileName;
    call.Unexpected = FOpens.isEmpty();
    FCalls << call;
    return call.Unexpected ? QStringList() : FOpens.dequeue();
}

QString TScriptedDialogs::SaveFile(QWidget*, const TFileDialogOptions& options)
{
    TCall call{dkSave, options.Title, options.Filter};
    call.FileName = options.FileName;
    call.Unexpected = FSaves.isEmpty();
    FCalls << call;
    return call.Unexpected ? QString() : FSaves.dequeue();
}

bool TScriptedDialogs::BrowseForFolder(QWidget*, const QString& title, QString& path)
{
    TCall call{dkFolder, title, path};
    call.Unexpected = FFolders.isEmpty();
    FCalls << call;
    if (call.Unexpected)
        return false;
    const QString folder = FFolders.dequeue();
    if (folder.isEmpty())
        return false;
    path = folder;
    return true;
}

void TScriptedDialogs::ShowBalloonTip(QLineEdit* edit, const QString& title, const QString& text,
                                      TBalloonIcon)
{
    TCall call{dkBalloon, title, text};
    call.Target = edit ? edit->objectName() : QString();
    FCalls << call;
}

void TScriptedDialogs::ShowException(QWidget*, const QString& message)
{
    FCalls << TCall{dkException, QString(), message};
}
