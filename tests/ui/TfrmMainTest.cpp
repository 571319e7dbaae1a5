#include "TAddonDeletionProposal.h"
#include "TFileProtection.h"
#include "TKOVASettings.h"
#include "TMapManager.h"
#include "TPageControl.h"
#include "TPageTest.h"
#include "TServerPackageEditor.h"
#include "TUpdateCache.h"
#include "uKOVA_MapCache.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

// The frame of the main window: the page gate, the Window menu and the language of every form,
// the title, the map-cache rebuild behind the busy window, and Tab through the pages' tool bars.
class TfrmMainTest : public TPageTest
{
    Q_OBJECT

private slots:
    void gateKeepsTheUserOnConfigurationWhileTheFolderIsInvalid();
    void noGameFolderNoticeStaysInSight();
    void failedStartsAreShown();
    void languageChangeDressesEveryFormAndTheWindowMenu();
    void cacheRebuildWritesTheCacheAndGivesTheWindowBack();
    void failedCacheRebuildKeepsTheOldCacheAndGivesTheWindowBack();
    void cacheUpdateWithoutTheGameFolderKeepsTheCache();
    void toolButtonsFollowTheirListInTabOrder();

private:
    TPageControl* Pages() const { return Find<TPageControl>(u"pgMain"_s); }
    QStringList WindowMenuItems() const;
    void WriteTwoMaps() const
    {
        WriteMap(FFixture->Game(), u"DM-First.ut2"_s, "First", "Ann");
        WriteMap(FFixture->Game(), u"CTF-Second.ut2"_s, "Second", "Bob");
    }
};

QStringList TfrmMainTest::WindowMenuItems() const
{
    QStringList captions;
    for (const QAction* action : Find<QMenu>(u"MenuWindow"_s)->actions())
        captions << action->text();
    return captions;
}

void TfrmMainTest::gateKeepsTheUserOnConfigurationWhileTheFolderIsInvalid()
{
    FFixture->SetSetting(u"utdir"_s, FFixture->Root() + u"/Gone"_s);
    ShowWindow();
    // No folder in the registry or at the fallback: the start-up warned once.
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).first().Type, TMsgDlgType::mtWarning);
    FDialogs->Clear();

    TPageControl* pages = Pages();
    QTabBar* bar = pages->tabBar();
    auto* edit = Find<QLineEdit>(u"edConfigure_UT2003Path"_s);
    const auto balloons = [this] { return FDialogs->CallsOf(TKind::dkBalloon); };

    QTest::mouseClick(bar, Qt::LeftButton, {}, pages->TabRect(6).center());
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(balloons().size(), 1);
    QCOMPARE(balloons().first().Target, u"edConfigure_UT2003Path"_s);

    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(balloons().size(), 2);

    // The Window menu is the program's own switch: it passes. Away from the folder edit, other
    // tabs stay shut, but the Configuration tab leads back to it.
    Find<QMenu>(u"MenuWindow"_s)->actions().at(5)->trigger();
    QCOMPARE(pages->currentWidget()->objectName(), u"tbProfiles"_s);
    QTest::mouseClick(bar, Qt::LeftButton, {}, pages->TabRect(6).center());
    QCOMPARE(pages->currentWidget()->objectName(), u"tbProfiles"_s);
    QTest::mouseClick(bar, Qt::LeftButton, {}, pages->TabRect(0).center());
    QCOMPARE(pages->currentWidget()->objectName(), u"tbConfiguration"_s);

    // Game actions of the menus do nothing but point at the folder (an editor shown would be
    // closed again before its menu action returned).
    const auto opened = WhenModal([](QWidget* dialog) { dialog->close(); }, 1000);
    const int before = balloons().size();
    Find<QAction>(u"MenuServerPackageEditor"_s)->trigger();
    Find<QAction>(u"MenuPlayUT2003"_s)->trigger();
    QCOMPARE(balloons().size(), before + 2);
    QVERIFY(!opened.Wait());

    // With a valid folder in the edit and applied, the tabs are the user's again.
    edit->setText(FFixture->Game().Root());
    Click(u"btnConfigure_ApplyPath"_s);
    QTest::mouseClick(bar, Qt::LeftButton, {}, pages->TabRect(6).center());
    QCOMPARE(pages->currentWidget()->objectName(), u"tbMapManager"_s);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TfrmMainTest::noGameFolderNoticeStaysInSight()
{
    FFixture->SetSetting(u"utdir"_s, FFixture->Root() + u"/Gone"_s);
    ShowWindow();
    FDialogs.reset(); // the notice as the user gets it
    const QString text = FWindow->GetLangText(TDialogType::Common_UnableToLocateDirectory);
    const auto noticeShown = [&text] {
        const QList<QWidget*> widgets = QApplication::allWidgets();
        return std::any_of(widgets.begin(), widgets.end(), [&text](const QWidget* widget) {
            const auto* label = qobject_cast<const QLabel*>(widget);
            return label && label->isVisible() && label->text().contains(text);
        });
    };
    auto* edit = Find<QLineEdit>(u"edConfigure_UT2003Path"_s);

    // From the menu, then a click elsewhere and a moment to read it: the notice is still there.
    Find<QAction>(u"MenuPlayUT2003"_s)->trigger();
    QTest::mouseClick(Find<QLabel>(u"lbWelcome"_s), Qt::LeftButton);
    QTest::qWait(300);
    QVERIFY(noticeShown());

    // Typing a folder is acting on it.
    QTest::keyClick(edit, Qt::Key_A);
    QVERIFY(!noticeShown());

    // From another page, whose actions the Window menu reaches, it shows too.
    Find<QMenu>(u"MenuWindow"_s)->actions().at(5)->trigger();
    QVERIFY(!edit->isVisible());
    Find<QAction>(u"MenuServerPackageEditor"_s)->trigger();
    QTest::qWait(300);
    QVERIFY(noticeShown());
}

void TfrmMainTest::failedStartsAreShown()
{
    ShowWindow();
    // Neither wine nor the desktop's opener can be found.
    const QByteArray path = qgetenv("PATH");
    const QTemporaryDir empty;
    qputenv("PATH", empty.path().toLocal8Bit());
    Find<QAction>(u"MenuPlayUT2003"_s)->trigger();
    Find<QAction>(u"MenuHelpFile"_s)->trigger();
    qputenv("PATH", path);

    const QList<TCall> errors = FDialogs->CallsOf(TKind::dkMessage);
    QCOMPARE(errors.size(), 2);
    for (const TCall& error : errors) {
        QCOMPARE(error.Type, TMsgDlgType::mtError);
        QCOMPARE(error.Caption, FWindow->GetLangText(TDialogType::Common_Error));
    }
    QVERIFY(errors.at(0).Text.contains(FFixture->Game().Path(u"System/UT2004.exe"_s)));
    QVERIFY(errors.at(0).Text.contains(QLatin1String("\"wine\" was not found")));
    QVERIFY(errors.at(1).Text.contains(QLatin1String("Readme.htm")));
    QVERIFY(errors.at(1).Text.contains(QLatin1String("\"xdg-open\"")));
}

void TfrmMainTest::languageChangeDressesEveryFormAndTheWindowMenu()
{
    FFixture->AddLanguage(u"de"_s, u"Deutsch"_s, u"DE "_s);
    ShowWindow();
    auto* languages = Find<QComboBox>(u"cbConfigure_SelectLang"_s);
    TPageControl* pages = Pages();
    const auto dressed = [this](bool german) {
        TPageControl* pages = Pages();
        const auto inGerman = [german](const QString& text) {
            return text.startsWith(QLatin1String("DE ")) == german;
        };
        QStringList expected;
        for (int i = 0; i < pages->count(); ++i) {
            QVERIFY2(inGerman(pages->tabText(i)), qPrintable(pages->tabText(i)));
            if (i < pages->count() - 1)
                expected << pages->tabText(i);
        }
        QCOMPARE(WindowMenuItems(), expected);
        QVERIFY(inGerman(FWindow->ServerPackageEditor()->windowTitle()));
        // A dialog's controls keep their own hints, without the main window's title.
        const QString listTip =
            Child<QWidget>(FWindow->ServerPackageEditor(), u"lwItems"_s)->toolTip();
        QVERIFY(inGerman(listTip));
        QVERIFY2(!listTip.contains(FWindow->Settings().AppName), qPrintable(listTip));
        QVERIFY(inGerman(
            Child<QPushButton>(&FWindow->AddonDeletionProposal(), u"btnSelectAll"_s)->text()));
        QVERIFY(inGerman(FWindow->GetLangText(TDialogType::Common_Warning)));
    };

    for (const QString& name : {u"Deutsch"_s, u"English"_s, u"Deutsch"_s, u"Deutsch"_s}) {
        languages->setCurrentIndex(languages->findText(name));
        Click(u"btnConfigure_ApplyLang"_s);
        dressed(name == QLatin1String("Deutsch"));
    }
    // Each item still opens its own page.
    const QList<QAction*> items = Find<QMenu>(u"MenuWindow"_s)->actions();
    for (int i = items.size() - 1; i >= 0; --i) {
        items.at(i)->trigger();
        QCOMPARE(pages->currentIndex(), i);
    }
}

// Watches the busy window: when it shows, notes whether the main window is usable and tries to
// close it, as an impatient user would.
class TBusyWatch final : public QObject
{
public:
    explicit TBusyWatch(TfrmMain* window)
        : FWindow(window)
    {
        window->UpdateCacheWindow()->installEventFilter(this);
    }
    bool Shown = false;
    bool MainEnabledMeanwhile = true;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !Shown) {
            Shown = true;
            MainEnabledMeanwhile = FWindow->isEnabled();
            FWindow->close();
        }
        return false;
    }

private:
    TfrmMain* FWindow;
};

void TfrmMainTest::cacheRebuildWritesTheCacheAndGivesTheWindowBack()
{
    WriteMap(FFixture->Game(), u"BR-Third.ut2"_s, "Third", "Cy");
    WriteTwoMaps();
    FFixture->SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    ShowWindow();
    // A cache of an older state of the folder.
    const QString cacheFile = FFixture->AppFile(u"cache.xml"_s);
    QVERIFY(WriteMapCache(
        cacheFile, {{FFixture->Game().Path(u"Maps/DM-Gone.ut2"_s), u"x"_s, u"Gone"_s, u"x"_s}}));

    TBusyWatch watch(FWindow.get());
    Click(u"btnConfig_Advanced"_s);
    Click(u"btnConfig_UpdateCache"_s);
    QVERIFY(watch.Shown);
    QVERIFY(!watch.MainEnabledMeanwhile);
    QVERIFY(FWindow->isVisible()); // not closed during the work

    // Written anew from the folder (what it holds is the map manager's test).
    QList<TMapCacheItem> items;
    QCOMPARE(ReadMapCache(cacheFile, items), TMapCacheRead::mcrLoaded);
    QCOMPARE(items.size(), 3);
    QCOMPARE(FWindow->MapManager()->GetCount(), 3);
    QVERIFY(FWindow->isEnabled());
    QVERIFY(!FWindow->UpdateCacheWindow()->isVisible());
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TfrmMainTest::failedCacheRebuildKeepsTheOldCacheAndGivesTheWindowBack()
{
    WriteTwoMaps();
    FFixture->SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    ShowWindow();
    const QString cacheFile = FFixture->AppFile(u"cache.xml"_s);
    const QByteArray oldCache = ReadBytes(cacheFile);
    QVERIFY(!oldCache.isEmpty());
    WriteMap(FFixture->Game(), u"BR-Third.ut2"_s, "Third", "Cy");

    Click(u"btnConfig_Advanced"_s);
    const QStringList files = QDir(FFixture->AppDir()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY(SetMode(FFixture->AppDir(), 0555));
    {
        TFileProtection protection(FFixture->Root());
        Click(u"btnConfig_UpdateCache"_s);
    }
    SetMode(FFixture->AppDir(), 0755);

    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QCOMPARE(ReadBytes(cacheFile), oldCache);
    QVERIFY(FWindow->isEnabled());
    QVERIFY(!FWindow->UpdateCacheWindow()->isVisible());
    QCOMPARE(QDir(FFixture->AppDir()).entryList(QDir::Files | QDir::Hidden), files);
}

void TfrmMainTest::cacheUpdateWithoutTheGameFolderKeepsTheCache()
{
    WriteTwoMaps();
    FFixture->SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    ShowWindow();
    const QString cacheFile = FFixture->AppFile(u"cache.xml"_s);
    const QByteArray cache = ReadBytes(cacheFile);
    QList<TMapCacheItem> items;
    QCOMPARE(ReadMapCache(cacheFile, items), TMapCacheRead::mcrLoaded);
    QCOMPARE(items.size(), 2);

    // The game's drive is not there for now.
    const QString away = FFixture->Root() + u"/Away"_s;
    QVERIFY(QDir().rename(FFixture->Game().Root(), away));
    Find<QAction>(u"MenuCacheUpdate"_s)->trigger();
    QVERIFY(QDir().rename(away, FFixture->Game().Root()));

    QCOMPARE(ReadBytes(cacheFile), cache);
    QCOMPARE(FDialogs->CallsOf(TKind::dkBalloon).size(), 1);
    QVERIFY(FWindow->isEnabled());
}

void TfrmMainTest::toolButtonsFollowTheirListInTabOrder()
{
    ShowWindow();
    QVERIFY(QTest::qWaitForWindowActive(FWindow.get()));
    const struct
    {
        QString Sheet;
        QString List;
        QString Bar;
        int Buttons;
    } pages[] = {
        {u"tbMapManager"_s, u"lbMapManager_MapList"_s, u"ToolBar"_s, 7},
        {u"tbDemoManager"_s, u"lwDemos_List"_s, u"tbDemos"_s, 7},
        {u"tbMutatorManager"_s, u"lwAddons_List"_s, u"tbAddonsBar"_s, 5},
        {u"tbCacheManager"_s, u"lwCache_List"_s, u"tbrCacheManager"_s, 5},
    };
    for (const auto& page : pages) {
        Pages()->setCurrentWidget(Find<QWidget>(page.Sheet));
        // The bar's buttons as they stand, left to right or top to bottom.
        QList<QToolButton*> buttons;
        for (QToolButton* button : Find<QWidget>(page.Bar)->findChildren<QToolButton*>()) {
            if (button->isVisible())
                buttons << button;
        }
        std::sort(buttons.begin(), buttons.end(), [](const QWidget* a, const QWidget* b) {
            return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
        });
        QCOMPARE(buttons.size(), page.Buttons);
        Find<QWidget>(page.List)->setFocus();
        for (const QToolButton* button : buttons) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(QApplication::focusWidget());
            QCOMPARE(QApplication::focusWidget()->objectName(), button->objectName());
            QVERIFY(button->hasFocus());
        }
    }
}

QTEST_MAIN(TfrmMainTest)
#include "TfrmMainTest.moc"
