#include "KOVABuildInfo.h"
#include "TKOVASettings.h"
#include "TListView.h"
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
    void sizeColumnSortsByBytesAndStaysAscending();

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
    FWindow->ShowPage(Child<QWidget>(FWindow.get(), QStringLiteral("tbConfiguration")));
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

void TfrmMainTest::sizeColumnSortsByBytesAndStaysAscending()
{
    // Sizes whose texts sort otherwise, one past 4 GiB (sparse) that a 32-bit size would
    // take for 10 bytes.
    const QList<QPair<QString, qint64>> files = {
        {QStringLiteral("a.demo4"), 900},
        {QStringLiteral("b.demo4"), 10'000},
        {QStringLiteral("c.demo4"), 50},
        {QStringLiteral("d.demo4"), (qint64(1) << 32) + 10},
        {QStringLiteral("e.demo4"), 2'000'000}};
    for (const auto& [name, size] : files) {
        QFile file(FFixture->Game().Path(QStringLiteral("Demos/") + name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
    }
    ShowMainWindow();
    auto* page = Child<QWidget>(FWindow.get(), QStringLiteral("tbDemoManager"));
    auto* list = new TListView(page);
    list->setObjectName(QStringLiteral("lwDemos_List"));
    list->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Size")});
    page->layout()->addWidget(list);
    FWindow->ShowPage(page);
    QTRY_VERIFY(list->isVisible() && list->header()->height() > 0);
    FWindow->AttachSortableList(list);
    const QStringList texts = {"900 B", "9.8 KB", "50 B", "4 GB", "1.9 MB"};
    for (int i = 0; i < files.size(); ++i)
        new TListItem(list, {files.at(i).first, texts.at(i)});

    const auto order = [list] {
        QStringList names;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            names << list->topLevelItem(i)->text(0);
        return names;
    };
    const QStringList bySize = {"c.demo4", "a.demo4", "b.demo4", "e.demo4", "d.demo4"};
    QHeaderView* header = list->header();
    const QPoint sizeColumn(header->sectionViewportPosition(1) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeColumn);
    QCOMPARE(order(), bySize);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeColumn);
    QCOMPARE(order(), bySize);

    // The selected files come in the order the list shows them.
    list->topLevelItem(3)->setSelected(true);
    list->topLevelItem(0)->setSelected(true);
    QStringList selected;
    TfrmMain::GetSelectedFiles(&selected, list, QStringLiteral("/Demos/"));
    QCOMPARE(selected, QStringList({"/Demos/c.demo4", "/Demos/e.demo4"}));

    // The name column ignores letter case.
    new TListItem(list, {QStringLiteral("B.demo4"), QString()});
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QCOMPARE(order().mid(0, 2).join(QLatin1Char(',')).toLower(), QStringLiteral("a.demo4,b.demo4"));
}

QTEST_MAIN(TfrmMainTest)
#include "TfrmMainTest.moc"
