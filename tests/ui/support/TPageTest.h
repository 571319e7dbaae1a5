#pragma once

#include "TModalWatch.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TfrmMain.h"

#include <QObject>

#include <memory>

// The base of the page and window tests: each test function gets a fresh program fixture and
// scripted dialogs (Prepare adds to the fixture, Finish undoes what a test set); ShowPage puts a
// page over a fresh page context's double. Controls are found in the main window when a test made
// one, else in the page's host.
class TPageTest : public QObject
{
    Q_OBJECT

protected:
    using TKind = TScriptedDialogs::TKind;
    using TCall = TScriptedDialogs::TCall;

    virtual void Prepare() {}
    virtual void Finish() {} // before the fixture goes
    template <class TPage> TPage* ShowPage(const QString& tabSheet)
    {
        FContext = std::make_unique<TPageContextDouble>(*FFixture);
        return FContext->Create<TPage>(tabSheet);
    }
    // The main window over the fixture, shown.
    TfrmMain* ShowWindow(const QStringList& switches = {});

    QWidget* Host() const;
    template <class T> T* Find(const QString& name) const { return Child<T>(Host(), name); }
    void Click(const QString& button) const; // a button, clicked with the mouse
    void Trigger(const QString& action) const;
    QString Label(const QString& name) const;
    // Where the trash of the test's environment keeps a file it took.
    QString Trashed(const QString& name) const;

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
    std::unique_ptr<TfrmMain> FWindow;

private slots:
    void init();
    void cleanup();
};
