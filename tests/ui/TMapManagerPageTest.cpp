#include "TFileProtection.h"
#include "TMapManager.h"
#include "TMapManagerPage.h"
#include "TPageTest.h"
#include "uKOVA_Misc.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The Map Manager page over the page context's double (Play over the main window): the list by
// game type, the details of the selection, and the file actions, which keep the files whole and
// the list in step with what is on disk. How the map manager and its cache follow the files is
// the model's test.
class TMapManagerPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void gameTypesFilterTheListAndDetailsFollowTheSelection();
    void sameNameInOtherLetterCaseShowsTheFirstListed();
    void playStartsTheGameWithOneArgument();
    void deleteTakesOnlyWhatTheTrashTook();
    void renameImportAndExportKeepEveryByte();
    void realMapsShowTheirTitleAndAuthor();

private:
    void Prepare() override
    {
        FFixture->SetSettingXml(u"gametypes"_s, u"<gametype mask=\"DM-*\">Deathmatch</gametype>"
                                                "<gametype mask=\"CTF-*\">Capture the Flag"
                                                "</gametype>"_s);
        WriteMap(FFixture->Game(), u"DM-A.ut2"_s, "Alpha", "Me", "Desc", 1024);
        WriteMap(FFixture->Game(), u"CTF-B.ut2"_s, "Beta", "You", "Flags", 2048);
        WriteMap(FFixture->Game(), u"Foo.ut2"_s, "<b>x</b>", "Them", "Other");
    }
    void ShowPage() { TPageTest::ShowPage<TMapManagerPage>(u"tbMapManager"_s); }
    QTreeWidget* List() const { return Find<QTreeWidget>(u"lbMapManager_MapList"_s); }
    QStringList Rows() const { return Captions(List()); }
    void Select(const QStringList& names) const { SelectRows(List(), names); }
    QString MapFile(const QString& name) const { return FFixture->Game().Path(u"Maps/"_s + name); }
    QString Title() const { return Label(u"lbMapManager_MapTitle"_s); }
    // Game type, size, title, author and description as the details show them.
    QStringList Details() const
    {
        return {Label(u"lbMapManager_MapGameType"_s), Label(u"lbMapManager_MapSize"_s), Title(),
                Label(u"lbMapManager_Author"_s),
                Find<QPlainTextEdit>(u"mmMapManager_Desc"_s)->toPlainText()};
    }
    void Delete(TModalResult answer) const
    {
        FDialogs->AnswerMessage(answer);
        Trigger(u"MapManager_DeleteMap"_s);
    }
};

void TMapManagerPageTest::gameTypesFilterTheListAndDetailsFollowTheSelection()
{
    ShowPage();
    auto* box = Find<QComboBox>(u"cbMapManager_SelectGameType"_s);
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    QCOMPARE(entries,
             QStringList({"(All game types)", "Deathmatch", "Capture the Flag", "(Other maps)"}));
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "DM-A.ut2", "Foo.ut2"}));
    box->setCurrentIndex(1);
    QCOMPARE(Rows(), QStringList({"DM-A.ut2"}));
    box->setCurrentIndex(3); // the other maps
    QCOMPARE(Rows(), QStringList({"Foo.ut2"}));
    // A refresh keeps the entry.
    FContext->ShowPage(u"tbMapManager"_s);
    QCOMPARE(box->currentIndex(), 3);
    QCOMPARE(Rows(), QStringList({"Foo.ut2"}));

    box->setCurrentIndex(0);
    Select({u"DM-A.ut2"_s});
    QCOMPARE(Details(), QStringList({"Game type: Deathmatch", "Map size: " + FormatFileSize(1024),
                                     "Title: Alpha", "Author: Me", "Desc"}));
    // Texts from a package are text, never markup, and no template is filled twice.
    Select({u"Foo.ut2"_s});
    QCOMPARE(Details().mid(2, 2), QStringList({"Title: <b>x</b>", "Author: Them"}));
    QCOMPARE(Details().first(), u"Game type: Unknown"_s);
    QCOMPARE(Find<QLabel>(u"lbMapManager_MapTitle"_s)->textFormat(), Qt::PlainText);
    Select({u"DM-A.ut2"_s, u"CTF-B.ut2"_s});
    QCOMPARE(Details(), QStringList({"Game type: -", "Map size: " + FormatFileSize(3072),
                                     "Title: -", "Author: -", "-"}));

    // Sorted by size, the rows still stand for their own maps.
    QTest::mouseClick(List()->header()->viewport(), Qt::LeftButton, {},
                      QPoint(List()->header()->sectionViewportPosition(2) + 5, 5));
    QCOMPARE(Rows(), QStringList({"Foo.ut2", "DM-A.ut2", "CTF-B.ut2"}));
    Select({u"CTF-B.ut2"_s});
    QCOMPARE(Title(), "Title: Beta");
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TMapManagerPageTest::sameNameInOtherLetterCaseShowsTheFirstListed()
{
    WriteMap(FFixture->Game(), u"DM-Twin.ut2"_s, "Upper", "A");
    WriteMap(FFixture->Game(), u"dm-twin.ut2"_s, "Lower", "A");
    ShowPage();
    const QStringList rows = Rows();
    QCOMPARE(rows.size(), 5);
    const qsizetype first = rows.indexOf(
        QRegularExpression(u"^dm-twin\\.ut2$"_s, QRegularExpression::CaseInsensitiveOption));
    const QString firstName = rows.at(first);
    const QString secondName = rows.at(first + 1);
    QCOMPARE(firstName.compare(secondName, Qt::CaseInsensitive), 0);
    Select({firstName});
    const QString firstTitle = Title();
    // The game finds its maps without regard to case, so one name stands for one map: the
    // details of the second row are those of the first.
    Select({secondName});
    QCOMPARE(Title(), firstTitle);

    // Deleting the second row takes its own file.
    Delete(TModalResult::mrYes);
    QVERIFY(!QFileInfo::exists(MapFile(secondName)));
    QVERIFY(QFileInfo::exists(MapFile(firstName)));
}

void TMapManagerPageTest::playStartsTheGameWithOneArgument()
{
    // The game is a script that writes down the arguments it got, one per line.
    const QString records = FFixture->Root() + u"/records"_s;
    const QString script = WriteGameScript(FFixture->Game(), u"record.sh"_s, records, 0);
    FFixture->SetSetting(u"exename"_s, u"record.sh"_s);
    ShowWindow()->ShowPage(u"tbMapManager"_s);
    QTRY_COMPARE(List()->topLevelItemCount(), 3);
    // Of several rows, the first plays.
    Select({u"DM-A.ut2"_s, u"Foo.ut2"_s});
    Trigger(u"MapManager_PlayMap"_s);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(records + u"/args"_s), 10000);
    QCOMPARE(ReadBytes(records + u"/args"_s), QByteArray("DM-A.ut2?bAutoNumBots=True\n"));

    // A game that cannot be started says so.
    QVERIFY(QFile::remove(script));
    Trigger(u"MapManager_PlayMap"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).first().Type, TMsgDlgType::mtError);
}

void TMapManagerPageTest::deleteTakesOnlyWhatTheTrashTook()
{
    ShowPage();
    const QByteArray alpha = ReadBytes(MapFile(u"DM-A.ut2"_s));
    const QStringList left = {"CTF-B.ut2", "Foo.ut2"};
    Select({u"DM-A.ut2"_s});
    Delete(TModalResult::mrNo);
    QCOMPARE(Rows().size(), 3);
    QVERIFY(QFileInfo::exists(MapFile(u"DM-A.ut2"_s)));
    Delete(TModalResult::mrYes);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2); // asked once per delete
    QVERIFY(!QFileInfo::exists(MapFile(u"DM-A.ut2"_s)));
    QCOMPARE(ReadBytes(Trashed(u"DM-A.ut2"_s)), alpha);
    QCOMPARE(Rows(), left);
    QCOMPARE(Title(), "Title: -");

    // A trash that refuses keeps row and file (the shell says why).
    {
        const TRefusingTrash refusing(FFixture->Environment().DataHome());
        Select({u"CTF-B.ut2"_s});
        Delete(TModalResult::mrYes);
    }
    QVERIFY(QFileInfo::exists(MapFile(u"CTF-B.ut2"_s)));
    QCOMPARE(Rows(), left);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).last().Type, TMsgDlgType::mtError);
    FContext->ShowPage(u"tbMapManager"_s);
    QCOMPARE(Rows(), left);
}

void TMapManagerPageTest::renameImportAndExportKeepEveryByte()
{
    // With the map cache on, its file follows each change.
    FFixture->SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    ShowPage();
    const QString cache = FContext->MapManager()->CacheFile();
    const QByteArray foo = ReadBytes(MapFile(u"Foo.ut2"_s));
    const QByteArray beta = ReadBytes(MapFile(u"CTF-B.ut2"_s));
    const auto rename = [this](const QString& to) {
        FDialogs->AnswerSave(MapFile(to));
        Trigger(u"MapManager_RenameMap"_s);
    };

    // Foo becomes a Deathmatch map under its new name, and stays selected.
    Select({u"Foo.ut2"_s});
    rename(u"DM-Renamed.ut2"_s);
    const QStringList renamed = {"CTF-B.ut2", "DM-A.ut2", "DM-Renamed.ut2"};
    QCOMPARE(Rows(), renamed);
    QCOMPARE(ReadBytes(MapFile(u"DM-Renamed.ut2"_s)), foo);
    QVERIFY(!QFileInfo::exists(MapFile(u"Foo.ut2"_s)));
    QCOMPARE(Details().first(), "Game type: Deathmatch");
    QCOMPARE(List()->selectedItems().size(), 1);
    QVERIFY(ReadBytes(cache).contains("DM-Renamed.ut2") && !ReadBytes(cache).contains("Foo.ut2"));

    // Onto another map: refused, nothing replaced. Only the letter case: a rename all the same.
    rename(u"CTF-B.ut2"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).last().Type, TMsgDlgType::mtError);
    QCOMPARE(ReadBytes(MapFile(u"CTF-B.ut2"_s)), beta);
    QCOMPARE(ReadBytes(MapFile(u"DM-Renamed.ut2"_s)), foo);
    QCOMPARE(Rows(), renamed);
    // With two rows selected: the message, and no prompt.
    Select({u"CTF-B.ut2"_s, u"DM-Renamed.ut2"_s});
    Trigger(u"MapManager_RenameMap"_s);
    QCOMPARE(FDialogs->Calls().last().Text,
             FContext->GetLangText(TDialogType::MapManager_RenameError));
    Select({u"DM-Renamed.ut2"_s});
    rename(u"dm-renamed.ut2"_s);
    QVERIFY(Rows().contains(u"dm-renamed.ut2"_s));
    QCOMPARE(ReadBytes(MapFile(u"dm-renamed.ut2"_s)), foo);

    // Import: listed at once, in the cache too.
    const TGameFolder downloads(FFixture->Root(), u"Downloads"_s);
    const QByteArray fresh = ReadBytes(WriteMap(downloads, u"CTF-New.ut2"_s, "Fresh", "Someone"));
    FDialogs->AnswerOpen({downloads.Path(u"Maps/CTF-New.ut2"_s)});
    Trigger(u"MapManager_ImportMap"_s);
    QVERIFY(Rows().contains(u"CTF-New.ut2"_s));
    QCOMPARE(ReadBytes(MapFile(u"CTF-New.ut2"_s)), fresh);
    QVERIFY(ReadBytes(cache).contains("CTF-New.ut2"));

    // Export of one map under a new name, then of two into a folder.
    Select({u"CTF-B.ut2"_s});
    FDialogs->AnswerSave(downloads.Path(u"copy.ut2"_s));
    Trigger(u"MapManager_ExportMap"_s);
    QCOMPARE(downloads.ReadFile(u"copy.ut2"_s), beta);
    Select({u"CTF-B.ut2"_s, u"dm-renamed.ut2"_s});
    FDialogs->AnswerFolder(downloads.Root());
    Trigger(u"MapManager_ExportMap"_s);
    QCOMPARE(downloads.ReadFile(u"CTF-B.ut2"_s), beta);
    QCOMPARE(downloads.ReadFile(u"dm-renamed.ut2"_s), foo);

    // Into an archive: the selected maps as files of the maps folder. Out of one: what the
    // archive brought is listed at once.
    FContext->ClearOrders();
    Trigger(u"MapManager_ExportIntoArchive"_s);
    QCOMPARE(FContext->Orders(), QStringList{u"ExportToArchive %1/ CTF-B.ut2 dm-renamed.ut2"_s.arg(
                                     FFixture->Game().Path(u"Maps"_s))});
    FFixture->Game().WriteFile(u"Maps/DM-Zipped.ut2"_s, fresh);
    Trigger(u"MapManager_ImportFromArchive"_s);
    QCOMPARE(FContext->Orders().last(), "ImportFromArchive");
    QVERIFY(Rows().contains(u"DM-Zipped.ut2"_s));
    QVERIFY(ReadBytes(cache).contains("DM-Zipped.ut2"));
    QVERIFY(FDialogs->AllAnswersUsed());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TMapManagerPageTest::realMapsShowTheirTitleAndAuthor()
{
    if (RealDataDir().isEmpty())
        QSKIP("the real game files are not on this machine");
    const QList<QStringList> maps = {
        {"DM-shadow.ut2", "Untitled", "KrowNET"},
        {"AS-LevelConfigManagerExample.ut2", "[TOP SECRET]", "Haydon ' Billa ' Jamieson"},
        {"endgame.ut2", "End Game", "Epic Games"},
        {"CTF-Magma.ut2", "Magma", "ShaneCaudle"},
        {"Auto0.ut2", "Untitled", "Anonymous"},
    };
    for (const QStringList& map : maps)
        QVERIFY(QFile::copy(RealDataDir() + u"/Maps/"_s + map[0], MapFile(map[0])));
    ShowPage();
    for (const QStringList& map : maps) {
        Select({map[0]});
        QCOMPARE(Details().mid(2, 2), QStringList({"Title: " + map[1], "Author: " + map[2]}));
    }
}

QTEST_MAIN(TMapManagerPageTest)
#include "TMapManagerPageTest.moc"
