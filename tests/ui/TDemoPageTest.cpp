#include "TDemoPage.h"
#include "TFileProtection.h"
#include "TZipArchive.h"
#include "TZipBuilder.h"
#include "TfrmArchiveInspector.h"
#include "TKOVASettings.h"
#include "TLinkLabel.h"
#include "TPageTest.h"
#include "TShellExecThread.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The Demos page: its list and file actions over the page context's double, and demo playback
// through the main window with a script standing in for the game.
class TDemoPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void deleteTakesOnlyWhatTheTrashTook();
    void exportAndImportCopyWholeFiles();
    void viewPlaysTheSelectedDemoAndTheLinkOnlyEndsTheView();

    void playbackShowsThePanelUntilTheLastDemosGameEnds();
    void demoThatCannotPlayAsChosenStartsNothing();
    void demoRowsDragIntoAnOpenArchive();

private:
    void Prepare() override;
    TDemoPage* ShowPage() { return FPage = TPageTest::ShowPage<TDemoPage>(u"tbDemoManager"_s); }
    // The main window over the fixture, shown, with a script as the game.
    TDemoPage* ShowWindow();
    QStringList Rows() const { return Captions(FPage->List()); }
    void Select(const QStringList& names) const { SelectRows(FPage->List(), names); }
    QString Demos(const QString& name = QString()) const
    {
        return FFixture->Game().Path(u"Demos/"_s + name);
    }
    QString Record(const QString& name) const { return FFixture->Root() + u"/record/"_s + name; }
    QString Script() const
    {
        return QString::fromLatin1(ReadBytes(FFixture->Game().Path(u"System/kova.txt"_s)));
    }

    TDemoPage* FPage = nullptr;
};

void TDemoPageTest::Prepare()
{
    for (const char* name : {"Alpha.demo4", "Beta.demo4", "Gamma.demo4"})
        FFixture->Game().WriteFile(u"Demos/"_s + QLatin1String(name),
                                   QByteArray(name).repeated(1000));
    FFixture->Game().WriteFile(u"Demos/Notes.txt"_s, "not a demo");
}

TDemoPage* TDemoPageTest::ShowWindow()
{
    WriteGameScript(FFixture->Game(), u"Game.sh"_s, Record(QString()), KPlayUntilQuit);
    WriteGameScript(FFixture->Game(), u"Quick.sh"_s, Record(u"quick"_s), 1);
    FFixture->SetSetting(u"exename"_s, u"Game.sh"_s);
    TPageTest::ShowWindow();
    FPage = Find<TDemoPage>(QString());
    return FPage;
}

void TDemoPageTest::deleteTakesOnlyWhatTheTrashTook()
{
    ShowPage();
    QCOMPARE(Rows(), (QStringList{"Alpha.demo4", "Beta.demo4", "Gamma.demo4"}));

    // No keeps both.
    Select({"Alpha.demo4", "Gamma.demo4"});
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Trigger(u"DeleteDemo"_s);
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(Rows().size(), 3);
    QVERIFY(QFile::exists(Demos(u"Alpha.demo4"_s)));

    // A trash that refuses keeps the files and their rows, and says so.
    {
        const TRefusingTrash refusing(FFixture->Environment().DataHome());
        FDialogs->Clear();
        FDialogs->AnswerMessage(TModalResult::mrYes);
        Trigger(u"DeleteDemo"_s);
    }
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).last().Type, TMsgDlgType::mtError);
    QCOMPARE(Rows().size(), 3);
    QCOMPARE(ReadBytes(Demos(u"Alpha.demo4"_s)), QByteArray("Alpha.demo4").repeated(1000));

    // Yes trashes both and drops their rows, and only theirs; nothing else is asked.
    FDialogs->Clear();
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Trigger(u"DeleteDemo"_s);
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(Rows(), QStringList{"Beta.demo4"});
    QVERIFY(!QFile::exists(Demos(u"Alpha.demo4"_s)));
    QCOMPARE(ReadBytes(Trashed(u"Gamma.demo4"_s)), QByteArray("Gamma.demo4").repeated(1000));
}

void TDemoPageTest::exportAndImportCopyWholeFiles()
{
    ShowPage();
    const QString elsewhere = FFixture->Root();

    // One demo: to the name chosen, starting at the demo itself.
    Select({"Beta.demo4"});
    FDialogs->AnswerSave(elsewhere + u"/Kept.demo4"_s);
    Trigger(u"ExportDemo"_s);
    QCOMPARE(ReadBytes(elsewhere + u"/Kept.demo4"_s), ReadBytes(Demos("Beta.demo4")));
    const TCall save = FDialogs->CallsOf(TKind::dkSave).first();
    QCOMPARE(save.FileName, Demos(u"Beta.demo4"_s));

    // Two: into the folder chosen, under their own names.
    Select({"Alpha.demo4", "Gamma.demo4"});
    FDialogs->AnswerFolder(elsewhere);
    Trigger(u"ExportDemo"_s);
    for (const QString name : {"Alpha.demo4", "Gamma.demo4"})
        QCOMPARE(ReadBytes(elsewhere + QLatin1Char('/') + name), ReadBytes(Demos(name)));

    // Import: without a selection the prompt starts with no name; a demo from elsewhere is
    // copied in whole, one already in the Demos folder is left alone.
    FPage->List()->clearSelection();
    WriteBytes(elsewhere + u"/New.demo4"_s, QByteArray(5000, 'n'));
    FDialogs->Clear();
    FDialogs->AnswerOpen({elsewhere + u"/New.demo4"_s});
    FDialogs->AnswerOpen({Demos(u"Beta.demo4"_s)});
    Trigger(u"ImportDemo"_s);
    Trigger(u"ImportDemo"_s);
    QCOMPARE(ReadBytes(Demos(u"New.demo4"_s)), QByteArray(5000, 'n'));
    QCOMPARE(FDialogs->CallsOf(TKind::dkOpen).first().FileName, QString());
    QCOMPARE(FDialogs->Calls().size(), 2); // no question about replacing Beta by itself
    QCOMPARE(ReadBytes(Demos(u"Beta.demo4"_s)), QByteArray("Beta.demo4").repeated(1000));
}

void TDemoPageTest::viewPlaysTheSelectedDemoAndTheLinkOnlyEndsTheView()
{
    ShowPage();
    Trigger(u"ViewDemo"_s);
    QVERIFY(FContext->Orders().isEmpty());
    Select({"Gamma.demo4", "Beta.demo4"});
    Trigger(u"ViewDemo"_s);
    QCOMPARE(FContext->Orders(),
             QStringList{u"PlayDemo "_s + FContext->Settings().GetPath(TMapPaths::mpDemos) +
                         u"/Beta.demo4"_s});

    // The archive buttons take the road with the list's Demos folder.
    Trigger(u"DemoExportArchive"_s);
    QCOMPARE(FContext->Orders().last(), u"ExportToArchive %1 Beta.demo4 Gamma.demo4"_s.arg(
                                            FContext->Settings().GetPath(TMapPaths::mpDemos)));
    Trigger(u"DemoImportArchive"_s);
    QCOMPARE(FContext->Orders().last(), u"ImportFromArchive"_s);

    // The viewing panel's link ends the view and opens nothing.
    FPage->SetViewingDemo(true);
    QStringList opened;
    const TLinkLabel::TOpener previous =
        TLinkLabel::SetOpener([&opened](const QString& url, QString*, TOpenEnded) {
            opened << url;
            return true;
        });
    auto* link = Child<TLinkLabel>(FPage, u"llDemoManager_ExitView"_s);
    QVERIFY(link->isVisible());
    QTest::mouseClick(link, Qt::LeftButton);
    TLinkLabel::SetOpener(previous);
    QCOMPARE(FContext->Orders().last(), u"ExitDemoView"_s);
    QVERIFY(opened.isEmpty());
}

void TDemoPageTest::playbackShowsThePanelUntilTheLastDemosGameEnds()
{
    ShowWindow();
    const QString other = FFixture->Root() + u"/Other"_s;
    WriteBytes(other + u"/My.Match.demo4"_s, QByteArray(3000, 'm'));

    // File > Play Demo: the quick game plays the first demo, the slow one a second demo.
    FWindow->Settings().ExeName = u"Quick.sh"_s;
    FDialogs->AnswerOpen({other + u"/My.Match.demo4"_s});
    Trigger(u"MenuPlayDemo"_s);
    QVERIFY(FPage->ViewingDemo());
    QCOMPARE(Script(), u"demoplay My.Match\r\n"_s);
    QCOMPARE(ReadBytes(Demos(u"My.Match.demo4"_s)), QByteArray(3000, 'm'));

    FWindow->Settings().ExeName = u"Game.sh"_s;
    QVERIFY(FWindow->PlayDemo(Demos(u"Alpha.demo4"_s)));
    QCOMPARE(Script(), u"demoplay Alpha\r\n"_s);
    // The first game ends while the second plays: once its wait is over, the panel stays.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Record(u"quick/ended"_s)), 10000);
    QTRY_COMPARE(FWindow->findChildren<TShellExecThread*>().size(), 1);
    QVERIFY(FPage->ViewingDemo());

    // The exit link ends the wait at once; the game plays on to its end.
    QVERIFY(!QFile::exists(Record(u"ended"_s)));
    QTest::mouseClick(Find<TLinkLabel>(u"llDemoManager_ExitView"_s), Qt::LeftButton);
    QTRY_VERIFY(!FPage->ViewingDemo());
    QVERIFY(!QFile::exists(Record(u"ended"_s)));
    QVERIFY(WriteBytes(Record(u"quit"_s), "quit"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Record(u"ended"_s)), 10000);

    // Without the game's program the panel shows and goes again, and an error box says why.
    QVERIFY(QFile::remove(FFixture->Game().Path(u"System/Game.sh"_s)));
    FDialogs->Clear();
    FDialogs->AnswerMessage(TModalResult::mrOk);
    QVERIFY(FWindow->PlayDemo(Demos(u"Beta.demo4"_s)));
    QVERIFY(FPage->ViewingDemo());
    QTRY_VERIFY(!FPage->ViewingDemo());
    QTRY_COMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Type, TMsgDlgType::mtError);
    QVERIFY(FDialogs->Calls().first().Text.contains(u"Game.sh"_s));
}

void TDemoPageTest::demoThatCannotPlayAsChosenStartsNothing()
{
    ShowWindow();
    const QString scriptFile = FFixture->Game().WriteFile(u"System/kova.txt"_s, "old");
    const QString other = FFixture->Root() + u"/Other"_s;
    const auto startsNothing = [&] {
        QVERIFY(!FPage->ViewingDemo());
        QCOMPARE(ReadBytes(scriptFile), QByteArray("old"));
        QTest::qWait(300);
        QVERIFY(!QFile::exists(Record(u"args"_s)));
    };

    // The user keeps the demo of that name in the Demos folder: the chosen one cannot play.
    WriteBytes(other + u"/Alpha.demo4"_s, "another match");
    FDialogs->AnswerMessage(TModalResult::mrNo); // replace?
    FDialogs->AnswerMessage(TModalResult::mrOk);
    QVERIFY(!FWindow->PlayDemo(other + u"/Alpha.demo4"_s));
    startsNothing();
    QCOMPARE(ReadBytes(Demos(u"Alpha.demo4"_s)), QByteArray("Alpha.demo4").repeated(1000));
    QCOMPARE(FDialogs->Calls().last().Type, TMsgDlgType::mtError);
    QVERIFY(FDialogs->Calls().last().Text.contains(u"Alpha.demo4"_s));

    // A name the game's script cannot hold.
    WriteBytes(other + QString::fromUtf8("/\u03a9mega.demo4"), "omega");
    FDialogs->AnswerMessage(TModalResult::mrOk);
    QVERIFY(!FWindow->PlayDemo(other + QString::fromUtf8("/\u03a9mega.demo4")));
    startsNothing();
    QVERIFY(!QFile::exists(Demos(QString::fromUtf8("\u03a9mega.demo4"))));

    // A Demos folder that cannot be made.
    QVERIFY(QDir(Demos()).removeRecursively());
    FFixture->Game().WriteFile(u"Demos"_s, "a file in the way");
    WriteBytes(other + u"/Fresh.demo4"_s, "fresh");
    FDialogs->AnswerMessage(TModalResult::mrOk);
    QVERIFY(!FWindow->PlayDemo(other + u"/Fresh.demo4"_s));
    startsNothing();
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 4);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TDemoPageTest::demoRowsDragIntoAnOpenArchive()
{
    ShowWindow();
    FWindow->ShowPage(u"tbDemoManager"_s);
    const QString archive = FFixture->Root() + u"/Demos.zip"_s;
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
        QCOMPARE(name, i == 1 ? u"Alpha.demo4"_s : u"Gamma.demo4"_s);
        QVERIFY(inspector->Zip().ExtractTo(i, FFixture->Root() + u"/out/"_s + name));
        QCOMPARE(ReadBytes(FFixture->Root() + u"/out/"_s + name), ReadBytes(Demos(name)));
    }
}

QTEST_MAIN(TDemoPageTest)
#include "TDemoPageTest.moc"
