#include "TDemoPage.h"
#include "TFileProtection.h"
#include "TZipArchive.h"
#include "TZipBuilder.h"
#include "TfrmArchiveInspector.h"
#include "TKOVASettings.h"
#include "TLinkLabel.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TfrmMain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>

using TKind = TScriptedDialogs::TKind;

// The Demos page: its list and file actions over the page context's double, and demo playback
// through the main window with a script standing in for the game.
class TDemoPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void deleteTakesOnlyWhatTheTrashTook();
    void exportAndImportCopyWholeFiles();
    void viewPlaysTheSelectedDemoAndTheLinkOnlyEndsTheView();

    void playbackShowsThePanelUntilTheLastDemosGameEnds();
    void demoThatCannotPlayAsChosenStartsNothing();
    void demoRowsDragIntoAnOpenArchive();

private:
    TDemoPage* ShowPage();
    // The main window over the fixture, shown, with a script as the game.
    TDemoPage* ShowWindow();
    QStringList Rows() const { return Captions(FPage->List()); }
    void Select(const QStringList& names) const { SelectRows(FPage->List(), names); }
    void Trigger(const QString& action) const
    {
        QWidget* host = FWindow ? static_cast<QWidget*>(FWindow.get()) : FContext->Host();
        Child<QAction>(host, action)->trigger();
    }
    QString Demos(const QString& name = QString()) const
    {
        return FFixture->Game().Path(QStringLiteral("Demos/") + name);
    }
    QString Record(const QString& name) const
    {
        return FFixture->Root() + QStringLiteral("/record/") + name;
    }
    QString Script() const
    {
        return QString::fromLatin1(
            ReadBytes(FFixture->Game().Path(QStringLiteral("System/kova.txt"))));
    }

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
    std::unique_ptr<TfrmMain> FWindow;
    TDemoPage* FPage = nullptr;
};

void TDemoPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
    for (const char* name : {"Alpha.demo4", "Beta.demo4", "Gamma.demo4"})
        FFixture->Game().WriteFile(QStringLiteral("Demos/") + QLatin1String(name),
                                   QByteArray(name).repeated(1000));
    FFixture->Game().WriteFile(QStringLiteral("Demos/Notes.txt"), "not a demo");
}

void TDemoPageTest::cleanup()
{
    FWindow.reset();
    FContext.reset();
    FDialogs.reset();
    FFixture.reset();
}

TDemoPage* TDemoPageTest::ShowPage()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    FPage = FContext->Create<TDemoPage>(QStringLiteral("tbDemoManager"));
    return FPage;
}

TDemoPage* TDemoPageTest::ShowWindow()
{
    WriteGameScript(FFixture->Game(), QStringLiteral("Game.sh"), Record(QString()), 3);
    WriteGameScript(FFixture->Game(), QStringLiteral("Quick.sh"), Record(QStringLiteral("quick")),
                    1);
    FFixture->SetSetting(QStringLiteral("exename"), QStringLiteral("Game.sh"));
    FWindow = FFixture->CreateMainWindow();
    FWindow->show();
    if (!QTest::qWaitForWindowExposed(FWindow.get()))
        qWarning("The main window was not exposed");
    FPage = Child<TDemoPage>(FWindow.get(), QString());
    return FPage;
}

void TDemoPageTest::deleteTakesOnlyWhatTheTrashTook()
{
    ShowPage();
    QCOMPARE(Rows(), (QStringList{"Alpha.demo4", "Beta.demo4", "Gamma.demo4"}));
    const QString trash = FFixture->Environment().DataHome() + QStringLiteral("/Trash");

    // No keeps both.
    Select({"Alpha.demo4", "Gamma.demo4"});
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Trigger(QStringLiteral("DeleteDemo"));
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text,
             FContext->GetLangText(TDialogType::DemoManager_DeleteDemo));
    QCOMPARE(Rows().size(), 3);
    QVERIFY(QFile::exists(Demos(QStringLiteral("Alpha.demo4"))));

    // A trash that refuses keeps the files and their rows, and says so.
    {
        const TRefusingTrash refusing(FFixture->Environment().DataHome());
        FDialogs->Clear();
        FDialogs->AnswerMessage(TModalResult::mrYes);
        FDialogs->AnswerMessage(TModalResult::mrOk); // Alpha refused
        FDialogs->AnswerMessage(TModalResult::mrOk); // Gamma refused
        Trigger(QStringLiteral("DeleteDemo"));
    }
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).last().Type, TMsgDlgType::mtError);
    QCOMPARE(Rows().size(), 3);
    QCOMPARE(ReadBytes(Demos(QStringLiteral("Alpha.demo4"))),
             QByteArray("Alpha.demo4").repeated(1000));

    // Yes trashes both and drops their rows, and only theirs; nothing else is asked.
    FDialogs->Clear();
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Trigger(QStringLiteral("DeleteDemo"));
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(Rows(), QStringList{"Beta.demo4"});
    QVERIFY(!QFile::exists(Demos(QStringLiteral("Alpha.demo4"))));
    QCOMPARE(ReadBytes(trash + QStringLiteral("/files/Gamma.demo4")),
             QByteArray("Gamma.demo4").repeated(1000));
}

void TDemoPageTest::exportAndImportCopyWholeFiles()
{
    ShowPage();
    const QString elsewhere = FFixture->Root() + QStringLiteral("/Exported");
    QVERIFY(QDir().mkpath(elsewhere));

    // One demo: to the name chosen, starting at the demo itself.
    Select({"Beta.demo4"});
    FDialogs->AnswerSave(elsewhere + QStringLiteral("/Kept.demo4"));
    Trigger(QStringLiteral("ExportDemo"));
    QCOMPARE(ReadBytes(elsewhere + QStringLiteral("/Kept.demo4")), ReadBytes(Demos("Beta.demo4")));
    const TScriptedDialogs::TCall save = FDialogs->CallsOf(TKind::dkSave).first();
    QCOMPARE(save.FileName, Demos(QStringLiteral("Beta.demo4")));
    QCOMPARE(save.Caption, FContext->GetLangText(TDialogType::DemoManager_ExportDemo));

    // Two: into the folder chosen, under their own names.
    Select({"Alpha.demo4", "Gamma.demo4"});
    FDialogs->AnswerFolder(elsewhere);
    Trigger(QStringLiteral("ExportDemo"));
    for (const QString name : {"Alpha.demo4", "Gamma.demo4"})
        QCOMPARE(ReadBytes(elsewhere + QLatin1Char('/') + name), ReadBytes(Demos(name)));

    // Import: without a selection the prompt starts with no name; a demo from elsewhere is
    // copied in whole, one already in the Demos folder is left alone.
    FPage->List()->clearSelection();
    WriteBytes(elsewhere + QStringLiteral("/New.demo4"), QByteArray(5000, 'n'));
    FDialogs->Clear();
    FDialogs->AnswerOpen({elsewhere + QStringLiteral("/New.demo4")});
    FDialogs->AnswerOpen({Demos(QStringLiteral("Beta.demo4"))});
    Trigger(QStringLiteral("ImportDemo"));
    Trigger(QStringLiteral("ImportDemo"));
    QCOMPARE(ReadBytes(Demos(QStringLiteral("New.demo4"))), QByteArray(5000, 'n'));
    QCOMPARE(FDialogs->CallsOf(TKind::dkOpen).first().FileName, QString());
    QCOMPARE(FDialogs->CallsOf(TKind::dkOpen).first().Caption,
             FContext->GetLangText(TDialogType::Common_FileToImport));
    QCOMPARE(FDialogs->Calls().size(), 2); // no question about replacing Beta by itself
    QCOMPARE(ReadBytes(Demos(QStringLiteral("Beta.demo4"))),
             QByteArray("Beta.demo4").repeated(1000));
}

void TDemoPageTest::viewPlaysTheSelectedDemoAndTheLinkOnlyEndsTheView()
{
    ShowPage();
    Trigger(QStringLiteral("ViewDemo"));
    QVERIFY(FContext->Orders().isEmpty());
    Select({"Gamma.demo4", "Beta.demo4"});
    Trigger(QStringLiteral("ViewDemo"));
    QCOMPARE(FContext->Orders(), QStringList{QStringLiteral("PlayDemo ") +
                                             FContext->Settings().GetPath(TMapPaths::mpDemos) +
                                             QStringLiteral("/Beta.demo4")});

    // The archive buttons take the road with the list's Demos folder.
    Trigger(QStringLiteral("DemoExportArchive"));
    QCOMPARE(FContext->Orders().last(), QStringLiteral("ExportToArchive %1 Beta.demo4 Gamma.demo4")
                                            .arg(FContext->Settings().GetPath(TMapPaths::mpDemos)));
    Trigger(QStringLiteral("DemoImportArchive"));
    QCOMPARE(FContext->Orders().last(), QStringLiteral("ImportFromArchive"));

    // The viewing panel shows the warning icon; its link ends the view and opens nothing.
    FPage->SetViewingDemo(true);
    QVERIFY(Child<QLabel>(FPage, QStringLiteral("imgDemoManager_ViewingDemo"))->pixmap().width() >
            0);
    QStringList opened;
    const TLinkLabel::TOpener previous = TLinkLabel::SetOpener([&opened](const QString& url) {
        opened << url;
        return true;
    });
    auto* link = Child<TLinkLabel>(FPage, QStringLiteral("llDemoManager_ExitView"));
    QVERIFY(link->isVisible());
    QTest::mouseClick(link, Qt::LeftButton);
    TLinkLabel::SetOpener(previous);
    QCOMPARE(FContext->Orders().last(), QStringLiteral("ExitDemoView"));
    QVERIFY(opened.isEmpty());

    // The association is the System Integration page's.
    FDialogs->AnswerMessage(TModalResult::mrOk);
    Trigger(QStringLiteral("DemoAdvanced"));
    QCOMPARE(FDialogs->Calls().last().Text,
             FContext->GetLangText(TDialogType::SysInteg_FileAssocChanged));
    QVERIFY(ReadBytes(FFixture->Environment().ConfigHome() + QStringLiteral("/mimeapps.list"))
                .contains("kova"));

    // The rows go into an open archive with their folder.
    QStringList dragged;
    QVERIFY(FContext->DraggedFiles(FPage->List(), &dragged));
    QCOMPARE(dragged, (QStringList{Demos(QStringLiteral("Beta.demo4")),
                                   Demos(QStringLiteral("Gamma.demo4"))}));
}

void TDemoPageTest::playbackShowsThePanelUntilTheLastDemosGameEnds()
{
    ShowWindow();
    const QString other = FFixture->Root() + QStringLiteral("/Other");
    WriteBytes(other + QStringLiteral("/My.Match.demo4"), QByteArray(3000, 'm'));

    // File > Play Demo: the quick game plays the first demo, the slow one a second demo.
    FWindow->Settings().ExeName = QStringLiteral("Quick.sh");
    FDialogs->AnswerOpen({other + QStringLiteral("/My.Match.demo4")});
    auto* menu = Child<QAction>(FWindow.get(), QStringLiteral("MenuPlayDemo"));
    QVERIFY(menu->isEnabled());
    menu->trigger();
    QVERIFY(FPage->ViewingDemo());
    QCOMPARE(Script(), QStringLiteral("demoplay My.Match\r\n"));
    QCOMPARE(ReadBytes(Demos(QStringLiteral("My.Match.demo4"))), QByteArray(3000, 'm'));
    QCOMPARE(FDialogs->CallsOf(TKind::dkOpen).first().Caption,
             FWindow->GetLangText(TDialogType::Common_Dialog_SelectFile));

    FWindow->Settings().ExeName = QStringLiteral("Game.sh");
    QVERIFY(FWindow->PlayDemo(Demos(QStringLiteral("Alpha.demo4"))));
    QCOMPARE(Script(), QStringLiteral("demoplay Alpha\r\n"));
    // The first game ends while the second plays: the panel stays.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Record(QStringLiteral("quick/ended"))), 10000);
    QTest::qWait(400);
    QVERIFY(FPage->ViewingDemo());
    QCOMPARE(ReadBytes(Record(QStringLiteral("args"))), QByteArray("-exec=kova.txt\n"));
    QCOMPARE(QString::fromLocal8Bit(ReadBytes(Record(QStringLiteral("cwd")))).trimmed(),
             QFileInfo(FFixture->Game().Path(QStringLiteral("System"))).canonicalFilePath());

    // The exit link ends the wait at once; the game plays on to its end.
    QVERIFY(!QFile::exists(Record(QStringLiteral("ended"))));
    QTest::mouseClick(Child<TLinkLabel>(FWindow.get(), QStringLiteral("llDemoManager_ExitView")),
                      Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!FPage->ViewingDemo(), 1000);
    QVERIFY(!QFile::exists(Record(QStringLiteral("ended"))));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Record(QStringLiteral("ended"))), 10000);

    // Without the game's program the panel shows and goes again, and an error box says why.
    QVERIFY(QFile::remove(FFixture->Game().Path(QStringLiteral("System/Game.sh"))));
    FDialogs->Clear();
    FDialogs->AnswerMessage(TModalResult::mrOk);
    QVERIFY(FWindow->PlayDemo(Demos(QStringLiteral("Beta.demo4"))));
    QVERIFY(FPage->ViewingDemo());
    QTRY_VERIFY_WITH_TIMEOUT(!FPage->ViewingDemo(), 300);
    QTRY_COMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Type, TMsgDlgType::mtError);
    QVERIFY(FDialogs->Calls().first().Text.contains(QStringLiteral("Game.sh")));
}

void TDemoPageTest::demoThatCannotPlayAsChosenStartsNothing()
{
    ShowWindow();
    const QString scriptFile = FFixture->Game().WriteFile(QStringLiteral("System/kova.txt"), "old");
    const QString other = FFixture->Root() + QStringLiteral("/Other");
    const auto startsNothing = [&] {
        QVERIFY(!FPage->ViewingDemo());
        QCOMPARE(ReadBytes(scriptFile), QByteArray("old"));
        QTest::qWait(300);
        QVERIFY(!QFile::exists(Record(QStringLiteral("args"))));
    };

    // A missing demo: nothing at all.
    QVERIFY(!FWindow->PlayDemo(other + QStringLiteral("/Missing.demo4")));
    startsNothing();
    QCOMPARE(FDialogs->Calls().size(), 0);

    // The user keeps the demo of that name in the Demos folder: the chosen one cannot play.
    WriteBytes(other + QStringLiteral("/Alpha.demo4"), "another match");
    FDialogs->AnswerMessage(TModalResult::mrNo); // replace?
    FDialogs->AnswerMessage(TModalResult::mrOk);
    QVERIFY(!FWindow->PlayDemo(other + QStringLiteral("/Alpha.demo4")));
    startsNothing();
    QCOMPARE(ReadBytes(Demos(QStringLiteral("Alpha.demo4"))),
             QByteArray("Alpha.demo4").repeated(1000));
    QCOMPARE(FDialogs->Calls().last().Type, TMsgDlgType::mtError);
    QVERIFY(FDialogs->Calls().last().Text.contains(QStringLiteral("Alpha.demo4")));

    // A name the game's script cannot hold.
    WriteBytes(other + QString::fromUtf8("/\u03a9mega.demo4"), "omega");
    FDialogs->AnswerMessage(TModalResult::mrOk);
    QVERIFY(!FWindow->PlayDemo(other + QString::fromUtf8("/\u03a9mega.demo4")));
    startsNothing();
    QVERIFY(!QFile::exists(Demos(QString::fromUtf8("\u03a9mega.demo4"))));

    // A Demos folder that cannot be made.
    QVERIFY(QDir(Demos()).removeRecursively());
    FFixture->Game().WriteFile(QStringLiteral("Demos"), "a file in the way");
    WriteBytes(other + QStringLiteral("/Fresh.demo4"), "fresh");
    FDialogs->AnswerMessage(TModalResult::mrOk);
    QVERIFY(!FWindow->PlayDemo(other + QStringLiteral("/Fresh.demo4")));
    startsNothing();
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 4);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TDemoPageTest::demoRowsDragIntoAnOpenArchive()
{
    ShowWindow();
    FWindow->ShowPage(QStringLiteral("tbDemoManager"));
    const QString archive = FFixture->Root() + QStringLiteral("/Demos.zip");
    QVERIFY(TZipBuilder().Add("readme.txt", "demos").Write(archive));
    TfrmArchiveInspector* inspector = FWindow->ArchiveInspector();
    QVERIFY(inspector->OpenArchive(archive));

    Select({"Alpha.demo4", "Gamma.demo4"});
    QMimeData rows;
    QVERIFY(inspector->lwFilesDragOver(FPage->List(), &rows));
    inspector->lwFilesDragDrop(FPage->List(), &rows);
    const QVector<TZipEntry>& entries = inspector->Zip().Entries();
    QCOMPARE(entries.size(), 3);
    for (int i = 1; i < 3; ++i) {
        const QString name = entries.at(i).Name;
        QVERIFY(inspector->Zip().ExtractTo(i, FFixture->Root() + QStringLiteral("/out/") + name));
        QCOMPARE(ReadBytes(FFixture->Root() + QStringLiteral("/out/") + name),
                 ReadBytes(Demos(name)));
    }
    QCOMPARE(entries.at(1).Name, QStringLiteral("Alpha.demo4"));
    QCOMPARE(entries.at(2).Name, QStringLiteral("Gamma.demo4"));
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

QTEST_MAIN(TDemoPageTest)
#include "TDemoPageTest.moc"
