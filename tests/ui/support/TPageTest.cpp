#include "TPageTest.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

void TPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
    Prepare();
}

void TPageTest::cleanup()
{
    Finish();
    FWindow.reset();
    FContext.reset();
    FDialogs.reset();
    FFixture.reset();
}

TfrmMain* TPageTest::ShowWindow(const QStringList& switches)
{
    FWindow = FFixture->CreateMainWindow(switches);
    FWindow->show();
    if (!QTest::qWaitForWindowExposed(FWindow.get()))
        qWarning("The main window was not exposed");
    return FWindow.get();
}

QWidget* TPageTest::Host() const
{
    return FWindow ? static_cast<QWidget*>(FWindow.get()) : FContext->Host();
}

void TPageTest::Click(const QString& button) const
{
    QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton);
}

void TPageTest::Trigger(const QString& action) const
{
    Find<QAction>(action)->trigger();
}

QString TPageTest::Label(const QString& name) const
{
    return Find<QLabel>(name)->text();
}

QString TPageTest::Trashed(const QString& name) const
{
    return FFixture->Environment().Trashed(name);
}
