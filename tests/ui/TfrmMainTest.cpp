#include "KOVABuildInfo.h"
#include "TKOVASettings.h"
#include "TPageControl.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TfrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

using TKind = TScriptedDialogs::TKind;

// The frame of the main window: the page gate, the Window menu, the title and list sorting.
class TfrmMainTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gateKeepsTheUserOnConfigurationWhileTheFolderIsInvalid();
    void windowMenuHasElevenPagesAfterEveryLanguageChange();
    void titleIsNameLongTitleAndVersion();

private:
    TfrmMain* ShowMainWindow();
    TPageControl* Pages() const
    {
        return Child<TPageControl>(FWindow.get(), QStringLiteral("pgMain"));
    }
    QStringList WindowMenuItems() const;

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TfrmMain> FWindow;
};

void TfrmMainTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
}

void TfrmMainTest::cleanup()
{
    FWindow.reset();
    FDialogs.reset();
    FFixture.reset();
}

TfrmMain* TfrmMainTest::ShowMainWindow()
{
    FWindow = FFixture->CreateMainWindow();
    FWindow->show();
    if (!QTest::qWaitForWindowExposed(FWindow.get()))
        qWarning("The main window was not exposed");
    return FWindow.get();
}

QStringList TfrmMainTest::WindowMenuItems() const
{
    QStringList captions;
    for (const QAction* action :
         Child<QMenu>(FWindow.get(), QStringLiteral("MenuWindow"))->actions())
        captions << action->text();
    return captions;
}

void TfrmMainTest::gateKeepsTheUserOnConfigurationWhileTheFolderIsInvalid()
{
    FFixture->SetSetting(QStringLiteral("utdir"), FFixture->Root() + QStringLiteral("/Gone"));
    ShowMainWindow();
    // No folder in the registry or at the fallback: the start-up warned once.
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).first().Type, TMsgDlgType::mtWarning);
    FDialogs->Clear();

    TPageControl* pages = Pages();
    QTabBar* bar = pages->tabBar();
    auto* edit = Child<QLineEdit>(FWindow.get(), QStringLiteral("edConfigure_UT2003Path"));
    const auto balloons = [this] { return FDialogs->CallsOf(TKind::dkBalloon); };

    QTest::mouseClick(bar, Qt::LeftButton, {}, pages->TabRect(6).center());
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(balloons().size(), 1);
    QCOMPARE(balloons().first().Target, QStringLiteral("edConfigure_UT2003Path"));
    QCOMPARE(balloons().first().Caption, FWindow->GetLangText(TDialogType::Common_PathInvalid));
    QCOMPARE(balloons().first().Text,
             FWindow->GetLangText(TDialogType::Common_UnableToLocateDirectory));

    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(balloons().size(), 2);

    // The Window menu is the program's own switch: it passes.
    const QList<QAction*> items =
        Child<QMenu>(FWindow.get(), QStringLiteral("MenuWindow"))->actions();
    QCOMPARE(items.size(), 11);
    items.at(5)->trigger();
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("tbProfiles"));

    // Game actions of the menus do nothing but point at the folder (an editor shown would be
    // closed again before its menu action returned).
    const auto opened = WhenModal([](QWidget* dialog) { dialog->close(); }, 1000);
    const int before = balloons().size();
    Child<QAction>(FWindow.get(), QStringLiteral("MenuServerPackageEditor"))->trigger();
    Child<QAction>(FWindow.get(), QStringLiteral("MenuPlayUT2003"))->trigger();
    QCOMPARE(balloons().size(), before + 2);
    QVERIFY(!*opened);

    // With a valid folder in the edit and applied, the tabs are the user's again.
    FWindow->ShowPage(QStringLiteral("tbConfiguration"));
    edit->setText(FFixture->Game().Root());
    QTest::mouseClick(Child<QPushButton>(FWindow.get(), QStringLiteral("btnConfigure_ApplyPath")),
                      Qt::LeftButton);
    QTest::mouseClick(bar, Qt::LeftButton, {}, pages->TabRect(6).center());
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("tbMapManager"));
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TfrmMainTest::windowMenuHasElevenPagesAfterEveryLanguageChange()
{
    FFixture->AddLanguage(QStringLiteral("de"), QStringLiteral("Deutsch"), QStringLiteral("DE "));
    ShowMainWindow();
    auto* languages = Child<QComboBox>(FWindow.get(), QStringLiteral("cbConfigure_SelectLang"));
    auto* apply = Child<QPushButton>(FWindow.get(), QStringLiteral("btnConfigure_ApplyLang"));
    TPageControl* pages = Pages();

    for (const QString& name : {QStringLiteral("Deutsch"), QStringLiteral("English"),
                                QStringLiteral("Deutsch"), QStringLiteral("Deutsch")}) {
        languages->setCurrentIndex(languages->findText(name));
        QTest::mouseClick(apply, Qt::LeftButton);
        QStringList expected;
        for (int i = 0; i < pages->count() - 1; ++i)
            expected << pages->tabText(i);
        QCOMPARE(WindowMenuItems(), expected);
        QCOMPARE(expected.first().startsWith(QLatin1String("DE ")),
                 name == QLatin1String("Deutsch"));
    }
    // Each item still opens its own page.
    const QList<QAction*> items =
        Child<QMenu>(FWindow.get(), QStringLiteral("MenuWindow"))->actions();
    for (int i = items.size() - 1; i >= 0; --i) {
        items.at(i)->trigger();
        QCOMPARE(pages->currentIndex(), i);
    }
}

void TfrmMainTest::titleIsNameLongTitleAndVersion()
{
    ShowMainWindow();
    const QString version = KOVAVersion();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+(\\.\\d+)+$")).match(version).hasMatch());
    QCOMPARE(FWindow->windowTitle(),
             QStringLiteral("UT2004 KOVA [ %1 ] - v%2").arg(TfrmMain::LongTitle(), version));
    QVERIFY(!TfrmMain::LongTitle().trimmed().isEmpty());
}

QTEST_MAIN(TfrmMainTest)
#include "TfrmMainTest.moc"
