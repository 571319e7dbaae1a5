#include "GamePath.h"
#include "TInstallationSummary.h"
#include "TLanguage.h"
#include "TPageTest.h"
#include "TZipArchive.h"
#include "TZipBuilder.h"
#include "TemplateFormat.h"
#include "TfrmArchiveInspector.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

// The installation road as a user meets it: the File > Install items, the overwrite question,
// the installation summary with its buttons, and export into an archive.
class InstallRoadTest : public TPageTest
{
    Q_OBJECT

private slots:
    void answersHoldForTheirEntryYesToAllForOneArchiveAndCancelAbortsTheRun();
    void summaryMovesAndDeletesInstalledFilesOnly();
    void exportWritesBareNamesOnceEach();
    void aMissingFileToInstallIsNamed();
    void switchRunSummaryIsCentredAndTakesReturn();
    void questionsOfARunBelongToTheArchiveWindow();
    void thePageInViewListsWhatTheInstallBrought();

private:
    void Prepare() override;
    QString Work(const QString& relative) const
    {
        return FFixture->Root() + u"/work/"_s + relative;
    }
    QString Lang(TDialogType key) const { return FWindow->GetLangText(key); }
    QAction* Action(const QString& name) const { return Find<QAction>(name); }
    const TGameFolder& Game() const { return FFixture->Game(); }
    // The summary dialog's state as one text: the headline and each row's columns.
    static QStringList Shown(const TInstallationSummary* summary);
};

void InstallRoadTest::Prepare()
{
    QDir(FFixture->Root()).mkpath(u"work"_s);
}

QStringList InstallRoadTest::Shown(const TInstallationSummary* summary)
{
    QStringList shown{Child<QLabel>(summary, u"lbSummary"_s)->text()};
    const QTreeWidget* list = summary->Files();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        shown << u"%1 | %2 | %3 | %4"_s.arg(row->text(0), row->text(1), row->text(2), row->text(3));
    }
    return shown;
}

void InstallRoadTest::answersHoldForTheirEntryYesToAllForOneArchiveAndCancelAbortsTheRun()
{
    for (const char* name : {"A1.u", "A2.u", "A3.u", "B1.u", "B2.u", "B3.u"})
        Game().WriteFile(u"System/"_s + QLatin1String(name), "old");
    const QString first = Work(u"first.zip"_s);
    const QString second = Work(u"Second.ZIP"_s);
    QVERIFY(TZipBuilder()
                .Add("A1.u", "new")
                .Add("A2.u", "new")
                .Add("A3.u", "new")
                .Add("New.u", "new")
                .AddLink("link.u", "../elsewhere.u")
                .Add("evil\xE2\x80\xAEgnp.u", "shows as evilu.png")
                .Write(first));
    QVERIFY(TZipBuilder().Add("B1.u", "new").Add("B2.u", "new").Add("B3.u", "new").Write(second));
    const QString third = Work(u"third.zip"_s);
    QVERIFY(TZipBuilder().AddFolder("Docs/").Add("C1.u", "new").Write(third));
    const QString broken = Work(u"broken.zip"_s);
    QVERIFY(WriteBytes(broken, "no archive"));
    QVERIFY(WriteBytes(Work(u"notes.txt"_s), "not an archive"));
    ShowWindow();

    FDialogs->AnswerOpen({first, Work(u"notes.txt"_s), second, third, broken});
    FDialogs->AnswerMessage(TModalResult::mrYes);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    FDialogs->AnswerMessage(TModalResult::mrYesToAll);
    FDialogs->AnswerMessage(TModalResult::mrCancel);
    QStringList shown;
    QImage icon;
    QList<bool> targetActions; // enabled: with no row selected, one, none again
    const auto summaryShown = WhenModal([&](QWidget* dialog) {
        auto* summary = qobject_cast<TInstallationSummary*>(dialog);
        QVERIFY(summary);
        shown = Shown(summary);
        icon = Child<QLabel>(summary, u"ResImage"_s)->pixmap().toImage();
        const auto enabled = [summary, &targetActions] {
            for (const QString& name : {u"btnChangeTarget"_s, u"btnDeleteTarget"_s})
                targetActions << Child<QPushButton>(summary, name)->isEnabled();
        };
        enabled();
        summary->Files()->topLevelItem(0)->setSelected(true);
        enabled();
        summary->Files()->clearSelection();
        enabled();
        QTest::mouseClick(Child<QPushButton>(summary, u"btnOk"_s), Qt::LeftButton);
    });
    Action(u"MeunInstallUTContentFromArchive"_s)->trigger();
    QVERIFY(*summaryShown);

    // Yes and No hold for their entry alone; Yes to All ends the asking in its archive only.
    const QList<TCall> questions = FDialogs->CallsOf(TKind::dkMessage);
    QCOMPARE(questions.size(), 4);
    QCOMPARE(questions.at(0).Text, FormatTemplate(Lang(TDialogType::Common_OverwriteFile),
                                                  {Game().Path(u"System/A1.u"_s)}));
    QVERIFY(questions.at(1).Text.contains(Game().Path(u"System/A2.u"_s)));
    QVERIFY(questions.at(3).Text.contains(Game().Path(u"System/B1.u"_s)));
    QVERIFY(questions.at(0).Buttons.testFlag(mbYesToAll));
    QCOMPARE(FDialogs->UnexpectedCount(), 0);

    const QString installed = Lang(TDialogType::Sum_Status_Ok);
    const QString notInstalled = Lang(TDialogType::Sum_Status_Fail);
    const QString system = Game().Path(u"System/"_s);
    // The entry asked about at the cancel was kept; what the run did not reach is listed.
    QCOMPARE(shown, (QStringList{FormatTemplate(Lang(TDialogType::Sum_Summary_Fail), {3, 11, 8}),
                                 u"first.zip | A1.u | %1A1.u | %2"_s.arg(system, installed),
                                 u"first.zip | A2.u | %1A2.u | %2"_s.arg(system, notInstalled),
                                 u"first.zip | A3.u | %1A3.u | %2"_s.arg(system, installed),
                                 u"first.zip | New.u | %1New.u | %2"_s.arg(system, installed),
                                 u"first.zip | link.u |  | %1"_s.arg(notInstalled),
                                 u"first.zip | evil<U+202E>gnp.u |  | %1"_s.arg(notInstalled),
                                 u"Second.ZIP | B1.u | %1B1.u | %2"_s.arg(system, notInstalled),
                                 u"Second.ZIP | B2.u | %1B2.u | %2"_s.arg(system, notInstalled),
                                 u"Second.ZIP | B3.u | %1B3.u | %2"_s.arg(system, notInstalled),
                                 u"third.zip | C1.u | %1C1.u | %2"_s.arg(system, notInstalled),
                                 u"broken.zip |  |  | %1"_s.arg(notInstalled)}));
    QCOMPARE(targetActions, (QList<bool>{false, false, true, true, false, false}));
    QCOMPARE(
        icon,
        FWindow->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32).toImage());
    for (const char* name : {"A2.u", "B1.u", "B2.u", "B3.u"})
        QCOMPARE(Game().ReadFile(u"System/"_s + QLatin1String(name)), "old");
    QVERIFY(!QFile::exists(Game().Path(u"System/C1.u"_s)));
    for (const char* name : {"A1.u", "A3.u"})
        QCOMPARE(Game().ReadFile(u"System/"_s + QLatin1String(name)), "new");
    QVERIFY(!FWindow->ArchiveInspector()->isVisible());
    QVERIFY(FWindow->isEnabled());
}

void InstallRoadTest::summaryMovesAndDeletesInstalledFilesOnly()
{
    const QString addon = Work(u"addon"_s);
    for (const char* name : {"Move.u", "Keep.u", "Blocked.u", "Gone.u"})
        QVERIFY(WriteBytes(addon + QLatin1Char('/') + QLatin1String(name), name));
    QVERIFY(WriteBytes(addon + u"/sub/Deeper.u"_s, "not this one"));
    Game().WriteFile(u"System/Keep.u"_s, "old keep");
    QVERIFY(QDir().mkpath(Game().Path(u"Textures/Blocked.u"_s)));
    ShowWindow();

    FDialogs->AnswerFolder(addon);
    FDialogs->AnswerMessage(TModalResult::mrNo); // keep System/Keep.u
    const QString system = Game().Path(u"System/"_s);
    const QString textures = Game().Path(u"Textures/"_s);
    const QString installed = Lang(TDialogType::Sum_Status_Ok);
    const QString notInstalled = Lang(TDialogType::Sum_Status_Fail);
    QStringList afterMove;
    QStringList afterDelete;
    int errorsShown = 0;
    const auto summaryShown = WhenModal([&](QWidget* dialog) {
        auto* summary = qobject_cast<TInstallationSummary*>(dialog);
        QVERIFY(summary);
        QTreeWidget* list = summary->Files();
        QCOMPARE(list->topLevelItemCount(), 4); // the folder alone, not its subfolder
        QMenu* menu = summary->TargetMenu();
        const auto select = [list](const QList<int>& rows) {
            list->clearSelection();
            for (const int row : rows)
                list->topLevelItem(row)->setSelected(true);
        };
        // Rows in the folder's sorted order: Blocked, Gone, Keep, Move. Keep was not installed;
        // a folder stands in Blocked's way; Gone stays in System, the folder it is in.
        select({0, 2, 3});
        menu->actions().at(int(TMapPaths::mpTextures))->trigger();
        errorsShown = FDialogs->CallsOf(TKind::dkException).size();
        select({1});
        menu->actions().at(int(TMapPaths::mpSystem))->trigger();
        afterMove = Shown(summary);
        select({1, 2});
        QTest::mouseClick(Child<QPushButton>(summary, u"btnDeleteTarget"_s), Qt::LeftButton);
        afterDelete = Shown(summary);
        summary->accept();
    });
    Action(u"MeunInstallUTContentFromDir"_s)->trigger();
    QVERIFY(*summaryShown);

    QCOMPARE(errorsShown, 1); // the folder in the way
    const QString folder = WithTrailingSeparator(addon);
    const QString headline = Lang(TDialogType::Sum_Summary_OK);
    QCOMPARE(afterMove,
             (QStringList{FormatTemplate(headline, {3, 4, 1}),
                          u"%1 | Blocked.u | %2Blocked.u | %3"_s.arg(folder, system, installed),
                          u"%1 | Gone.u | %2Gone.u | %3"_s.arg(folder, system, installed),
                          u"%1 | Keep.u | %2Keep.u | %3"_s.arg(folder, system, notInstalled),
                          u"%1 | Move.u | %2Move.u | %3"_s.arg(folder, textures, installed)}));
    QCOMPARE(afterDelete.first(), FormatTemplate(headline, {2, 4, 2}));
    QVERIFY(afterDelete.at(2).endsWith(notInstalled));
    QVERIFY(afterDelete.at(3).endsWith(notInstalled));

    QCOMPARE(Game().ReadFile(u"Textures/Move.u"_s), QByteArray("Move.u"));
    QVERIFY(!QFile::exists(Game().Path(u"System/Move.u"_s)));
    QCOMPARE(Game().ReadFile(u"System/Blocked.u"_s), QByteArray("Blocked.u"));
    QCOMPARE(Game().ReadFile(u"System/Keep.u"_s), QByteArray("old keep"));
    QVERIFY(!QFile::exists(Game().Path(u"System/Gone.u"_s)));
    QVERIFY(!QFile::exists(Game().Path(u"System/Deeper.u"_s)));
    // Deleted for good: nothing went to the trash.
    QVERIFY(FileTree(Trashed(QString())).isEmpty());
}

void InstallRoadTest::exportWritesBareNamesOnceEach()
{
    const QString demos = FFixture->Game().Path(u"Demos"_s);
    for (const char* name : {"One.demo4", "Two.demo4", "Three.demo4", "Four.demo4"})
        Game().WriteFile(u"Demos/"_s + QLatin1String(name), name);
    ShowWindow();
    QTreeWidget list;
    for (const char* name : {"One.demo4", "Two.demo4", "Three.demo4", "Four.demo4"})
        list.addTopLevelItem(new QTreeWidgetItem(QStringList{QLatin1String(name)}));
    list.setSelectionMode(QAbstractItemView::MultiSelection);
    const auto select = [&list](const QList<int>& rows) {
        list.clearSelection();
        for (const int row : rows)
            list.topLevelItem(row)->setSelected(true);
    };
    const QString archive = Work(u"demos.zip"_s);
    const auto names = [&archive] {
        QStringList names = UnzipNames(archive);
        names.sort();
        return names;
    };

    select({0, 1, 2});
    FDialogs->AnswerSave(archive);
    FWindow->ExportToArchive(&list, demos);
    QCOMPARE(names(), (QStringList{"One.demo4", "Three.demo4", "Two.demo4"}));

    // Again into it: the names already there are replaced, not doubled.
    Game().WriteFile(u"Demos/Two.demo4"_s, "Two again");
    select({1, 3});
    FDialogs->AnswerSave(archive);
    FWindow->ExportToArchive(&list, demos);
    QCOMPARE(names(), (QStringList{"Four.demo4", "One.demo4", "Three.demo4", "Two.demo4"}));
    TZipArchive zip;
    QVERIFY(zip.Open(archive));
    QTemporaryDir out;
    for (int i = 0; i < zip.Count(); ++i) {
        const QString name = zip.Entries().at(i).Name;
        QVERIFY(zip.ExtractTo(i, out.filePath(name)));
        QCOMPARE(ReadBytes(out.filePath(name)), Game().ReadFile(u"Demos/"_s + name));
    }
    QVERIFY(!FWindow->ArchiveInspector()->isVisible());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void InstallRoadTest::aMissingFileToInstallIsNamed()
{
    FDialogs->AnswerMessage(TModalResult::mrOk);
    ShowWindow({u"/install"_s, Work(u"gone.zip"_s)});
    QCOMPARE(FWindow->ExitStatus(), 1);
    const QList<TCall> shown = FDialogs->CallsOf(TScriptedDialogs::dkMessage);
    QCOMPARE(shown.size(), 1); // the error, and no summary
    QCOMPARE(shown.first().Type, TMsgDlgType::mtError);
    QVERIFY(shown.first().Text.contains(Work(u"gone.zip"_s)));
}

void InstallRoadTest::switchRunSummaryIsCentredAndTakesReturn()
{
    // "kova /install file" without "-s": the summary comes while the main window is not on the
    // screen yet, so it stands on its own in the middle of the screen and has the keyboard.
    const QString addon = Work(u"New.u"_s);
    QVERIFY(WriteBytes(addon, "new"));
    QPoint centre;
    QRect available;
    QString focused;
    const auto summaryShown = WhenModal([&](QWidget* dialog) {
        QVERIFY(qobject_cast<TInstallationSummary*>(dialog));
        centre = dialog->geometry().center();
        available = dialog->screen()->availableGeometry();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus && focus->window() == dialog);
        focused = focus->objectName();
        QTest::keyClick(focus, Qt::Key_Return);
    });
    FWindow = FFixture->CreateMainWindow({u"/install"_s, addon});
    FWindow->show();
    QVERIFY(*summaryShown);
    QVERIFY2((centre - available.center()).manhattanLength() <= 1,
             qPrintable(u"%1,%2 in %3,%4 %5x%6"_s.arg(centre.x())
                            .arg(centre.y())
                            .arg(available.x())
                            .arg(available.y())
                            .arg(available.width())
                            .arg(available.height())));
    QCOMPARE(focused, u"btnOk"_s);
    QCOMPARE(FWindow->InstallationSummary()->result(), int(QDialog::Accepted));
    QCOMPARE(Game().ReadFile(u"System/New.u"_s), QByteArray("new"));
    QVERIFY(FWindow->EndRequested());
    QCOMPARE(FWindow->ExitStatus(), 0);
}

void InstallRoadTest::questionsOfARunBelongToTheArchiveWindow()
{
    // A switch's run over a folder: the question about B.u comes before the archive window is on
    // the screen, the one about A.u after it, and the copy of C.utx, gone meanwhile, fails last.
    // The archive window stays on top: a message it does not own stands under it, unseen, and
    // blocks its Cancel.
    const QString addon = Work(u"addon"_s);
    QVERIFY(WriteBytes(addon + u"/B.u"_s, "new"));
    QVERIFY(WriteBytes(addon + u"/C.utx"_s, "new"));
    QVERIFY(TZipBuilder().Add("A.u", "new").Write(addon + u"/pack.zip"_s));
    Game().WriteFile(u"System/A.u"_s, "old");
    Game().WriteFile(u"System/B.u"_s, "old");
    FFixture->SetSetting(u"folderinstallmode"_s, u"fimRecursive"_s);
    FDialogs.reset(); // the program's own dialogs
    QStringList seen;
    std::vector<std::unique_ptr<TModalWatch>> watches; // one for each message, ended with the test
    std::function<void(QWidget*)> answer = [&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box)
            return; // the summary
        const TfrmArchiveInspector* archive = FWindow->ArchiveInspector();
        seen << u"%1 %2"_s.arg(
            box->parentWidget() == archive ? u"owned"_s : u"not owned"_s,
            Child<QStackedWidget>(archive, u"pnStack"_s)->currentWidget()->objectName());
        QFile::remove(addon + u"/C.utx"_s);
        watches.push_back(std::make_unique<TModalWatch>(answer, 10000));
        QAbstractButton* yes = box->button(QMessageBox::Yes);
        (yes ? yes : box->button(QMessageBox::Ok))->click();
    };
    watches.push_back(std::make_unique<TModalWatch>(answer, 10000));
    FWindow = FFixture->CreateMainWindow({u"/install"_s, addon});
    FWindow->show();
    QCOMPARE(seen, QStringList(3, u"owned pnProgress"_s));
    QCOMPARE(Game().ReadFile(u"System/A.u"_s), QByteArray("new"));
    QCOMPARE(Game().ReadFile(u"System/B.u"_s), QByteArray("new"));
    QVERIFY(FWindow->EndRequested());
}

void InstallRoadTest::thePageInViewListsWhatTheInstallBrought()
{
    WriteMap(Game(), u"DM-Old.ut2"_s, "Old", "Ann");
    const QString archive = Work(u"maps.zip"_s);
    QVERIFY(TZipBuilder().Add("Maps/DM-New.ut2", "a map").Write(archive));
    QVERIFY(WriteBytes(Work(u"Mutator.u"_s), "code"));
    ShowWindow();
    const auto install = [this](const QString& file, const QString& action) {
        FDialogs->AnswerOpen({file});
        const auto summaryShown =
            WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
        Action(action)->trigger();
        QVERIFY(*summaryShown);
    };

    // File > Install with the Maps page open: the new map is on the page at once.
    FWindow->ShowPage(u"tbMapManager"_s);
    const auto* maps = Find<QTreeWidget>(u"lbMapManager_MapList"_s);
    QCOMPARE(Captions(maps), QStringList{u"DM-Old.ut2"_s});
    install(archive, u"MeunInstallUTContentFromArchive"_s);
    QVERIFY(Captions(maps).contains(u"DM-New.ut2"_s));

    // And an add-on on the Add-Ons page.
    FWindow->ShowPage(u"tbMutatorManager"_s);
    const auto* addOns = Find<QTreeWidget>(u"lwAddons_List"_s);
    QVERIFY(!Captions(addOns).contains(u"Mutator.u"_s));
    install(Work(u"Mutator.u"_s), u"MeunInstallUTContentFromFile"_s);
    QVERIFY(Captions(addOns).contains(u"Mutator.u"_s));

    // A page that lists no files keeps what the user has not saved.
    FWindow->ShowPage(u"tbUTSettings"_s);
    auto* framerate = Find<QLineEdit>(u"lbeSettings_MinDesFramerate"_s);
    framerate->setText(u"77"_s);
    QVERIFY(WriteBytes(Work(u"Other.u"_s), "code"));
    install(Work(u"Other.u"_s), u"MeunInstallUTContentFromFile"_s);
    QCOMPARE(framerate->text(), u"77"_s);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

QTEST_MAIN(InstallRoadTest)
#include "InstallRoadTest.moc"
