#include "TFileProtection.h"
#include "TMapManager.h"
#include "TMapManagerPage.h"
#include "TPackageWriter.h"
#include "TPageTest.h"
#include "uKOVA_Misc.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The Map Manager page over the page context's double (Play over the main window): the list by
// game type, the details of the selection, and the file actions, which keep the files whole and
// the list in step with what is on disk.
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
    void Prepare() override;
    void ShowPage() { TPageTest::ShowPage<TMapManagerPage>(u"tbMapManager"_s); }
    QTreeWidget* List() const { return Find<QTreeWidget>(u"lbMapManager_MapList"_s); }
    QStringList Rows() const { return Captions(List()); }
    void Select(const QStringList& names) const { SelectRows(List(), names); }
    QString MapFile(const QString& name) const { return FFixture->Game().Path(u"Maps/"_s + name); }
};

namespace {

// A map package of exactly Size bytes (the reader never looks past its tables).
QByteArray MapBytes(const std::string& title, const std::string& author,
                    const std::string& description, int size = 0)
{
    TMapTexts texts;
    texts.Title = title;
    texts.Author = author;
    texts.Description = description;
    const TBytes bytes = MakeMapPackage(texts);
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    if (size > 0) {
        if (data.size() > size)
            qFatal("the map package is larger than %d bytes", size);
        data.append(QByteArray(size - data.size(), '\0'));
    }
    return data;
}

// The settings' game types replaced by Types (mask, name).
void SetGameTypes(const TProgramFixture& fixture, const QList<QPair<QString, QString>>& types)
{
    QString settings = QString::fromUtf8(fixture.ReadSettings());
    QString list = u"<gametypes>"_s;
    for (const auto& [mask, name] : types)
        list += u"<gametype mask=\"%1\">%2</gametype>"_s.arg(mask, name);
    list += u"</gametypes>"_s;
    settings.replace(QRegularExpression(u"<gametypes>.*</gametypes>"_s,
                                        QRegularExpression::DotMatchesEverythingOption),
                     list);
    WriteBytes(fixture.SettingsFile(), settings.toUtf8());
}

} // namespace

void TMapManagerPageTest::Prepare()
{
    SetGameTypes(*FFixture, {{u"DM-*"_s, u"Deathmatch"_s}, {u"CTF-*"_s, u"Capture the Flag"_s}});
    const TGameFolder& game = FFixture->Game();
    game.WriteFile(u"Maps/DM-A.ut2"_s, MapBytes("Alpha", "Me", "Desc", 1024));
    game.WriteFile(u"Maps/CTF-B.ut2"_s, MapBytes("Beta", "You", "Flags", 2048));
    game.WriteFile(u"Maps/Foo.ut2"_s, MapBytes("<b>x</b>", "Them", "Other"));
}

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
    box->setCurrentIndex(3);
    QCOMPARE(Rows(), QStringList({"Foo.ut2"}));
    // A refresh keeps the entry.
    FContext->ShowPage(u"tbMapManager"_s);
    QCOMPARE(box->currentIndex(), 3);
    QCOMPARE(Rows(), QStringList({"Foo.ut2"}));

    box->setCurrentIndex(0);
    Select({u"DM-A.ut2"_s});
    QCOMPARE(Label(u"lbMapManager_MapGameType"_s), "Game type: Deathmatch");
    QCOMPARE(Label(u"lbMapManager_MapSize"_s), u"Map size: "_s + FormatFileSize(1024));
    QCOMPARE(Label(u"lbMapManager_MapTitle"_s), "Title: Alpha");
    QCOMPARE(Label(u"lbMapManager_Author"_s), "Author: Me");
    QCOMPARE(Find<QPlainTextEdit>(u"mmMapManager_Desc"_s)->toPlainText(), "Desc");

    // Texts from a package are text, never markup, and no template is filled twice.
    Select({u"Foo.ut2"_s});
    QCOMPARE(Label(u"lbMapManager_MapGameType"_s), "Game type: Unknown");
    QCOMPARE(Label(u"lbMapManager_MapTitle"_s), "Title: <b>x</b>");
    QCOMPARE(Find<QLabel>(u"lbMapManager_MapTitle"_s)->textFormat(), Qt::PlainText);

    Select({u"DM-A.ut2"_s, u"CTF-B.ut2"_s});
    QCOMPARE(Label(u"lbMapManager_MapGameType"_s), "Game type: -");
    QCOMPARE(Label(u"lbMapManager_MapTitle"_s), "Title: -");
    QCOMPARE(Label(u"lbMapManager_Author"_s), "Author: -");
    QCOMPARE(Find<QPlainTextEdit>(u"mmMapManager_Desc"_s)->toPlainText(), "-");
    QCOMPARE(Label(u"lbMapManager_MapSize"_s), u"Map size: "_s + FormatFileSize(3072));
    // The archive window takes the rows dragged from here as files of the maps folder.
    QStringList dragged;
    QVERIFY(List()->dragEnabled());
    QVERIFY(FContext->DraggedFiles(List(), &dragged));
    QCOMPARE(dragged, QStringList({MapFile(u"CTF-B.ut2"_s), MapFile(u"DM-A.ut2"_s)}));

    // Sorted by size, the rows still stand for their own maps.
    QTest::mouseClick(List()->header()->viewport(), Qt::LeftButton, {},
                      QPoint(List()->header()->sectionViewportPosition(2) + 5, 5));
    QCOMPARE(Rows(), QStringList({"Foo.ut2", "DM-A.ut2", "CTF-B.ut2"}));
    Select({u"CTF-B.ut2"_s});
    QCOMPARE(Label(u"lbMapManager_MapTitle"_s), "Title: Beta");
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TMapManagerPageTest::sameNameInOtherLetterCaseShowsTheFirstListed()
{
    FFixture->Game().WriteFile(u"Maps/DM-Twin.ut2"_s, MapBytes("Upper", "A", "B"));
    FFixture->Game().WriteFile(u"Maps/dm-twin.ut2"_s, MapBytes("Lower", "A", "B"));
    ShowPage();
    const QStringList rows = Rows();
    const qsizetype first = rows.indexOf(
        QRegularExpression(u"^dm-twin\\.ut2$"_s, QRegularExpression::CaseInsensitiveOption));
    QVERIFY(first >= 0 && rows.size() == 5);
    const QString firstName = rows.at(first);
    const QString secondName = rows.at(first + 1);
    QCOMPARE(firstName.compare(secondName, Qt::CaseInsensitive), 0);
    Select({firstName});
    const QString firstTitle = Label(u"lbMapManager_MapTitle"_s);
    // The game finds its maps without regard to case, so one name stands for one map: the
    // details of the second row are those of the first.
    Select({secondName});
    QCOMPARE(Label(u"lbMapManager_MapTitle"_s), firstTitle);

    // Deleting the second row takes its own file, and the first stays listed as it was.
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Trigger(u"MapManager_DeleteMap"_s);
    QVERIFY(!QFileInfo::exists(MapFile(secondName)));
    QVERIFY(QFileInfo::exists(MapFile(firstName)));
    FContext->ShowPage(u"tbMapManager"_s);
    QVERIFY(Rows().contains(firstName));
    QVERIFY(!Rows().contains(secondName));
    Select({firstName});
    QCOMPARE(Label(u"lbMapManager_MapTitle"_s), firstTitle);
}

void TMapManagerPageTest::playStartsTheGameWithOneArgument()
{
    // The game is a script that writes down the arguments it got, one per line.
    const QString records = FFixture->Root() + u"/records"_s;
    const QString script = WriteGameScript(FFixture->Game(), u"record.sh"_s, records, 0);
    FFixture->SetSetting(u"exename"_s, u"record.sh"_s);
    TfrmMain* window = ShowWindow();
    window->ShowPage(u"tbMapManager"_s);
    auto* list = Child<QTreeWidget>(window, u"lbMapManager_MapList"_s);
    QTRY_COMPARE(list->topLevelItemCount(), 3);
    SelectRows(list, {u"DM-A.ut2"_s});
    Child<QAction>(window, u"MapManager_PlayMap"_s)->trigger();
    const QString record = records + u"/args"_s;
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 10000);
    QCOMPARE(ReadBytes(record), QByteArray("DM-A.ut2?bAutoNumBots=True\n"));

    // A game that cannot be started says so.
    QVERIFY(QFile::remove(script));
    Child<QAction>(window, u"MapManager_PlayMap"_s)->trigger();
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).first().Type, TMsgDlgType::mtError);
}

void TMapManagerPageTest::deleteTakesOnlyWhatTheTrashTook()
{
    ShowPage();
    const QByteArray alpha = ReadBytes(MapFile(u"DM-A.ut2"_s));
    // No: nothing goes.
    Select({u"DM-A.ut2"_s});
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Trigger(u"MapManager_DeleteMap"_s);
    QCOMPARE(Rows().size(), 3);
    QVERIFY(QFileInfo::exists(MapFile(u"DM-A.ut2"_s)));

    FDialogs->AnswerMessage(TModalResult::mrYes);
    Trigger(u"MapManager_DeleteMap"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2); // asked once per delete
    QVERIFY(!QFileInfo::exists(MapFile(u"DM-A.ut2"_s)));
    QCOMPARE(ReadBytes(FFixture->Environment().DataHome() + u"/Trash/files/DM-A.ut2"_s), alpha);
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "Foo.ut2"}));
    QCOMPARE(Label(u"lbMapManager_MapTitle"_s), "Title: -");
    FContext->ShowPage(u"tbAbout"_s);
    FContext->ShowPage(u"tbMapManager"_s);
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "Foo.ut2"}));

    // A trash that refuses keeps row and file (the shell says why).
    {
        const TRefusingTrash refusing(FFixture->Environment().DataHome());
        Select({u"CTF-B.ut2"_s});
        FDialogs->AnswerMessage(TModalResult::mrYes);
        Trigger(u"MapManager_DeleteMap"_s);
    }
    QVERIFY(QFileInfo::exists(MapFile(u"CTF-B.ut2"_s)));
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "Foo.ut2"}));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).last().Type, TMsgDlgType::mtError);
    FContext->ShowPage(u"tbMapManager"_s);
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "Foo.ut2"}));
}

void TMapManagerPageTest::renameImportAndExportKeepEveryByte()
{
    // With the map cache on, its file follows each change.
    FFixture->SetSetting(u"enablemapmanagercache"_s, u"True"_s);
    ShowPage();
    const QString cache = FContext->MapManager()->CacheFile();
    QVERIFY(QFileInfo::exists(cache));
    const QByteArray foo = ReadBytes(MapFile(u"Foo.ut2"_s));
    const QByteArray beta = ReadBytes(MapFile(u"CTF-B.ut2"_s));

    // Two maps selected: nothing to rename.
    Select({u"Foo.ut2"_s, u"CTF-B.ut2"_s});
    Trigger(u"MapManager_RenameMap"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkSave).size(), 0);

    // Foo becomes a Deathmatch map under its new name.
    Select({u"Foo.ut2"_s});
    FDialogs->AnswerSave(MapFile(u"DM-Renamed.ut2"_s));
    Trigger(u"MapManager_RenameMap"_s);
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "DM-A.ut2", "DM-Renamed.ut2"}));
    QCOMPARE(ReadBytes(MapFile(u"DM-Renamed.ut2"_s)), foo);
    QVERIFY(!QFileInfo::exists(MapFile(u"Foo.ut2"_s)));
    // The renamed map stays selected, with the details of its new name.
    QCOMPARE(Label(u"lbMapManager_MapGameType"_s), "Game type: Deathmatch");
    QCOMPARE(List()->selectedItems().size(), 1);
    QVERIFY(ReadBytes(cache).contains("DM-Renamed.ut2"));
    QVERIFY(!ReadBytes(cache).contains("Foo.ut2"));

    // Onto another map: refused, nothing replaced.
    FDialogs->AnswerSave(MapFile(u"CTF-B.ut2"_s));
    Trigger(u"MapManager_RenameMap"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).last().Type, TMsgDlgType::mtError);
    QCOMPARE(ReadBytes(MapFile(u"CTF-B.ut2"_s)), beta);
    QCOMPARE(ReadBytes(MapFile(u"DM-Renamed.ut2"_s)), foo);
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "DM-A.ut2", "DM-Renamed.ut2"}));

    // Only the letter case changes: a rename all the same.
    FDialogs->AnswerSave(MapFile(u"dm-renamed.ut2"_s));
    Trigger(u"MapManager_RenameMap"_s);
    QVERIFY(Rows().contains(u"dm-renamed.ut2"_s));
    QCOMPARE(ReadBytes(MapFile(u"dm-renamed.ut2"_s)), foo);

    // Import: listed at once, in the cache too.
    const QString elsewhere = FFixture->Root() + u"/Downloads"_s;
    const QByteArray fresh = MapBytes("Fresh", "Someone", "New");
    WriteBytes(elsewhere + u"/CTF-New.ut2"_s, fresh);
    FDialogs->AnswerOpen({elsewhere + u"/CTF-New.ut2"_s});
    Trigger(u"MapManager_ImportMap"_s);
    QVERIFY(Rows().contains(u"CTF-New.ut2"_s));
    QCOMPARE(ReadBytes(MapFile(u"CTF-New.ut2"_s)), fresh);
    QVERIFY(ReadBytes(cache).contains("CTF-New.ut2"));

    // Export of one map under a new name, then of two into a folder.
    Select({u"CTF-B.ut2"_s});
    FDialogs->AnswerSave(elsewhere + u"/copy.ut2"_s);
    Trigger(u"MapManager_ExportMap"_s);
    QCOMPARE(ReadBytes(elsewhere + u"/copy.ut2"_s), beta);
    Select({u"CTF-B.ut2"_s, u"dm-renamed.ut2"_s});
    const QString folder = FFixture->Root() + u"/Export"_s;
    QDir().mkpath(folder);
    FDialogs->AnswerFolder(folder);
    Trigger(u"MapManager_ExportMap"_s);
    QCOMPARE(ReadBytes(folder + u"/CTF-B.ut2"_s), beta);
    QCOMPARE(ReadBytes(folder + u"/dm-renamed.ut2"_s), foo);

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
    const QString real = RealDataDir();
    if (real.isEmpty())
        QSKIP("the real game files are not on this machine");
    struct TRealMap
    {
        QString File;
        QString Title;
        QString Author;
    };
    const QList<TRealMap> maps = {
        {"DM-shadow.ut2", "Untitled", "KrowNET"},
        {"AS-LevelConfigManagerExample.ut2", "[TOP SECRET]", "Haydon ' Billa ' Jamieson"},
        {"endgame.ut2", "End Game", "Epic Games"},
        {"CTF-Magma.ut2", "Magma", "ShaneCaudle"},
        {"Auto0.ut2", "Untitled", "Anonymous"},
    };
    for (const TRealMap& map : maps)
        QVERIFY(QFile::copy(real + u"/Maps/"_s + map.File, MapFile(map.File)));
    ShowPage();
    for (const TRealMap& map : maps) {
        Select({map.File});
        QCOMPARE(Label(u"lbMapManager_MapTitle"_s), "Title: " + map.Title);
        QCOMPARE(Label(u"lbMapManager_Author"_s), "Author: " + map.Author);
    }
    Select({u"AS-LevelConfigManagerExample.ut2"_s});
    QVERIFY(
        Find<QPlainTextEdit>(u"mmMapManager_Desc"_s)->toPlainText().startsWith("A top secret map"));
}

QTEST_MAIN(TMapManagerPageTest)
#include "TMapManagerPageTest.moc"
