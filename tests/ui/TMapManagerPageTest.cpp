#include "TFileProtection.h"
#include "TMapManager.h"
#include "TMapManagerPage.h"
#include "TPackageWriter.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TfrmMain.h"
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

using TKind = TScriptedDialogs::TKind;

// The Map Manager page over the page context's double (Play over the main window): the list by
// game type, the details of the selection, and the file actions, which keep the files whole and
// the list in step with what is on disk.
class TMapManagerPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gameTypesFilterTheListAndDetailsFollowTheSelection();
    void sameNameInOtherLetterCaseShowsTheFirstListed();
    void playStartsTheGameWithOneArgument();
    void deleteTakesOnlyWhatTheTrashTook();
    void renameImportAndExportKeepEveryByte();
    void realMapsShowTheirTitleAndAuthor();

private:
    void ShowPage();
    template <class T> T* Find(const QString& name) const
    {
        return Child<T>(FContext->Host(), name);
    }
    void Trigger(const QString& action) const { Find<QAction>(action)->trigger(); }
    QTreeWidget* List() const { return Find<QTreeWidget>(QStringLiteral("lbMapManager_MapList")); }
    QStringList Rows() const { return Captions(List()); }
    void Select(const QStringList& names) const { SelectRows(List(), names); }
    QString Label(const QString& name) const { return Find<QLabel>(name)->text(); }
    QString MapFile(const QString& name) const
    {
        return FFixture->Game().Path(QStringLiteral("Maps/") + name);
    }

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
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
    QString list = QStringLiteral("<gametypes>");
    for (const auto& [mask, name] : types)
        list += QStringLiteral("<gametype mask=\"%1\">%2</gametype>").arg(mask, name);
    list += QStringLiteral("</gametypes>");
    settings.replace(QRegularExpression(QStringLiteral("<gametypes>.*</gametypes>"),
                                        QRegularExpression::DotMatchesEverythingOption),
                     list);
    WriteBytes(fixture.SettingsFile(), settings.toUtf8());
}

} // namespace

void TMapManagerPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
    SetGameTypes(*FFixture, {{QStringLiteral("DM-*"), QStringLiteral("Deathmatch")},
                             {QStringLiteral("CTF-*"), QStringLiteral("Capture the Flag")}});
    const TGameFolder& game = FFixture->Game();
    game.WriteFile(QStringLiteral("Maps/DM-A.ut2"), MapBytes("Alpha", "Me", "Desc", 1024));
    game.WriteFile(QStringLiteral("Maps/CTF-B.ut2"), MapBytes("Beta", "You", "Flags", 2048));
    game.WriteFile(QStringLiteral("Maps/Foo.ut2"), MapBytes("<b>x</b>", "Them", "Other"));
}

void TMapManagerPageTest::cleanup()
{
    FContext.reset();
    FDialogs.reset();
    FFixture.reset();
}

void TMapManagerPageTest::ShowPage()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    FContext->Create<TMapManagerPage>(QStringLiteral("tbMapManager"));
}

void TMapManagerPageTest::gameTypesFilterTheListAndDetailsFollowTheSelection()
{
    ShowPage();
    auto* box = Find<QComboBox>(QStringLiteral("cbMapManager_SelectGameType"));
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
    FContext->ShowPage(QStringLiteral("tbMapManager"));
    QCOMPARE(box->currentIndex(), 3);
    QCOMPARE(Rows(), QStringList({"Foo.ut2"}));

    box->setCurrentIndex(0);
    Select({QStringLiteral("DM-A.ut2")});
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapGameType")), "Game type: Deathmatch");
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapSize")),
             QStringLiteral("Map size: ") + FormatFileSize(1024));
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapTitle")), "Title: Alpha");
    QCOMPARE(Label(QStringLiteral("lbMapManager_Author")), "Author: Me");
    QCOMPARE(Find<QPlainTextEdit>(QStringLiteral("mmMapManager_Desc"))->toPlainText(), "Desc");

    // Texts from a package are text, never markup, and no template is filled twice.
    Select({QStringLiteral("Foo.ut2")});
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapGameType")), "Game type: Unknown");
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapTitle")), "Title: <b>x</b>");
    QCOMPARE(Find<QLabel>(QStringLiteral("lbMapManager_MapTitle"))->textFormat(), Qt::PlainText);

    Select({QStringLiteral("DM-A.ut2"), QStringLiteral("CTF-B.ut2")});
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapGameType")), "Game type: -");
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapTitle")), "Title: -");
    QCOMPARE(Label(QStringLiteral("lbMapManager_Author")), "Author: -");
    QCOMPARE(Find<QPlainTextEdit>(QStringLiteral("mmMapManager_Desc"))->toPlainText(), "-");
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapSize")),
             QStringLiteral("Map size: ") + FormatFileSize(3072));
    // The archive window takes the rows dragged from here as files of the maps folder.
    QStringList dragged;
    QVERIFY(List()->dragEnabled());
    QVERIFY(FContext->DraggedFiles(List(), &dragged));
    QCOMPARE(dragged, QStringList({MapFile(QStringLiteral("CTF-B.ut2")),
                                   MapFile(QStringLiteral("DM-A.ut2"))}));

    // Sorted by size, the rows still stand for their own maps.
    QTest::mouseClick(List()->header()->viewport(), Qt::LeftButton, {},
                      QPoint(List()->header()->sectionViewportPosition(2) + 5, 5));
    QCOMPARE(Rows(), QStringList({"Foo.ut2", "DM-A.ut2", "CTF-B.ut2"}));
    Select({QStringLiteral("CTF-B.ut2")});
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapTitle")), "Title: Beta");
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TMapManagerPageTest::sameNameInOtherLetterCaseShowsTheFirstListed()
{
    FFixture->Game().WriteFile(QStringLiteral("Maps/DM-Twin.ut2"), MapBytes("Upper", "A", "B"));
    FFixture->Game().WriteFile(QStringLiteral("Maps/dm-twin.ut2"), MapBytes("Lower", "A", "B"));
    ShowPage();
    const QStringList rows = Rows();
    const qsizetype first = rows.indexOf(QRegularExpression(
        QStringLiteral("^dm-twin\\.ut2$"), QRegularExpression::CaseInsensitiveOption));
    QVERIFY(first >= 0 && rows.size() == 5);
    const QString firstName = rows.at(first);
    const QString secondName = rows.at(first + 1);
    QCOMPARE(firstName.compare(secondName, Qt::CaseInsensitive), 0);
    Select({firstName});
    const QString firstTitle = Label(QStringLiteral("lbMapManager_MapTitle"));
    // The game finds its maps without regard to case, so one name stands for one map: the
    // details of the second row are those of the first.
    Select({secondName});
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapTitle")), firstTitle);

    // Deleting the second row takes its own file, and the first stays listed as it was.
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Trigger(QStringLiteral("MapManager_DeleteMap"));
    QVERIFY(!QFileInfo::exists(MapFile(secondName)));
    QVERIFY(QFileInfo::exists(MapFile(firstName)));
    FContext->ShowPage(QStringLiteral("tbMapManager"));
    QVERIFY(Rows().contains(firstName));
    QVERIFY(!Rows().contains(secondName));
    Select({firstName});
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapTitle")), firstTitle);
}

void TMapManagerPageTest::playStartsTheGameWithOneArgument()
{
    // The game is a script that writes down the arguments it got, one per line.
    const QString records = FFixture->Root() + QStringLiteral("/records");
    const QString script =
        WriteGameScript(FFixture->Game(), QStringLiteral("record.sh"), records, 0);
    FFixture->SetSetting(QStringLiteral("exename"), QStringLiteral("record.sh"));
    std::unique_ptr<TfrmMain> window = FFixture->CreateMainWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->ShowPage(QStringLiteral("tbMapManager"));
    auto* list = Child<QTreeWidget>(window.get(), QStringLiteral("lbMapManager_MapList"));
    QTRY_COMPARE(list->topLevelItemCount(), 3);
    SelectRows(list, {QStringLiteral("DM-A.ut2")});
    Child<QAction>(window.get(), QStringLiteral("MapManager_PlayMap"))->trigger();
    const QString record = records + QStringLiteral("/args");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(record), 10000);
    QCOMPARE(ReadBytes(record), QByteArray("DM-A.ut2?bAutoNumBots=True\n"));

    // A game that cannot be started says so.
    QVERIFY(QFile::remove(script));
    Child<QAction>(window.get(), QStringLiteral("MapManager_PlayMap"))->trigger();
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).first().Type, TMsgDlgType::mtError);
    window.reset();
}

void TMapManagerPageTest::deleteTakesOnlyWhatTheTrashTook()
{
    ShowPage();
    const QByteArray alpha = ReadBytes(MapFile(QStringLiteral("DM-A.ut2")));
    // No: nothing goes.
    Select({QStringLiteral("DM-A.ut2")});
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Trigger(QStringLiteral("MapManager_DeleteMap"));
    QCOMPARE(Rows().size(), 3);
    QVERIFY(QFileInfo::exists(MapFile(QStringLiteral("DM-A.ut2"))));

    FDialogs->AnswerMessage(TModalResult::mrYes);
    Trigger(QStringLiteral("MapManager_DeleteMap"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2); // asked once per delete
    QVERIFY(!QFileInfo::exists(MapFile(QStringLiteral("DM-A.ut2"))));
    QCOMPARE(
        ReadBytes(FFixture->Environment().DataHome() + QStringLiteral("/Trash/files/DM-A.ut2")),
        alpha);
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "Foo.ut2"}));
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapTitle")), "Title: -");
    FContext->ShowPage(QStringLiteral("tbAbout"));
    FContext->ShowPage(QStringLiteral("tbMapManager"));
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "Foo.ut2"}));

    // A trash that refuses keeps row and file (the shell says why).
    {
        const TRefusingTrash refusing(FFixture->Environment().DataHome());
        Select({QStringLiteral("CTF-B.ut2")});
        FDialogs->AnswerMessage(TModalResult::mrYes);
        Trigger(QStringLiteral("MapManager_DeleteMap"));
    }
    QVERIFY(QFileInfo::exists(MapFile(QStringLiteral("CTF-B.ut2"))));
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "Foo.ut2"}));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).last().Type, TMsgDlgType::mtError);
    FContext->ShowPage(QStringLiteral("tbMapManager"));
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "Foo.ut2"}));
}

void TMapManagerPageTest::renameImportAndExportKeepEveryByte()
{
    // With the map cache on, its file follows each change.
    FFixture->SetSetting(QStringLiteral("enablemapmanagercache"), QStringLiteral("True"));
    ShowPage();
    const QString cache = FContext->MapManager()->CacheFile();
    QVERIFY(QFileInfo::exists(cache));
    const QByteArray foo = ReadBytes(MapFile(QStringLiteral("Foo.ut2")));
    const QByteArray beta = ReadBytes(MapFile(QStringLiteral("CTF-B.ut2")));

    // Two maps selected: nothing to rename.
    Select({QStringLiteral("Foo.ut2"), QStringLiteral("CTF-B.ut2")});
    Trigger(QStringLiteral("MapManager_RenameMap"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkSave).size(), 0);

    // Foo becomes a Deathmatch map under its new name.
    Select({QStringLiteral("Foo.ut2")});
    FDialogs->AnswerSave(MapFile(QStringLiteral("DM-Renamed.ut2")));
    Trigger(QStringLiteral("MapManager_RenameMap"));
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "DM-A.ut2", "DM-Renamed.ut2"}));
    QCOMPARE(ReadBytes(MapFile(QStringLiteral("DM-Renamed.ut2"))), foo);
    QVERIFY(!QFileInfo::exists(MapFile(QStringLiteral("Foo.ut2"))));
    // The renamed map stays selected, with the details of its new name.
    QCOMPARE(Label(QStringLiteral("lbMapManager_MapGameType")), "Game type: Deathmatch");
    QCOMPARE(List()->selectedItems().size(), 1);
    QVERIFY(ReadBytes(cache).contains("DM-Renamed.ut2"));
    QVERIFY(!ReadBytes(cache).contains("Foo.ut2"));

    // Onto another map: refused, nothing replaced.
    FDialogs->AnswerSave(MapFile(QStringLiteral("CTF-B.ut2")));
    Trigger(QStringLiteral("MapManager_RenameMap"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).last().Type, TMsgDlgType::mtError);
    QCOMPARE(ReadBytes(MapFile(QStringLiteral("CTF-B.ut2"))), beta);
    QCOMPARE(ReadBytes(MapFile(QStringLiteral("DM-Renamed.ut2"))), foo);
    QCOMPARE(Rows(), QStringList({"CTF-B.ut2", "DM-A.ut2", "DM-Renamed.ut2"}));

    // Only the letter case changes: a rename all the same.
    FDialogs->AnswerSave(MapFile(QStringLiteral("dm-renamed.ut2")));
    Trigger(QStringLiteral("MapManager_RenameMap"));
    QVERIFY(Rows().contains(QStringLiteral("dm-renamed.ut2")));
    QCOMPARE(ReadBytes(MapFile(QStringLiteral("dm-renamed.ut2"))), foo);

    // Import: listed at once, in the cache too.
    const QString elsewhere = FFixture->Root() + QStringLiteral("/Downloads");
    const QByteArray fresh = MapBytes("Fresh", "Someone", "New");
    WriteBytes(elsewhere + QStringLiteral("/CTF-New.ut2"), fresh);
    FDialogs->AnswerOpen({elsewhere + QStringLiteral("/CTF-New.ut2")});
    Trigger(QStringLiteral("MapManager_ImportMap"));
    QVERIFY(Rows().contains(QStringLiteral("CTF-New.ut2")));
    QCOMPARE(ReadBytes(MapFile(QStringLiteral("CTF-New.ut2"))), fresh);
    QVERIFY(ReadBytes(cache).contains("CTF-New.ut2"));

    // Export of one map under a new name, then of two into a folder.
    Select({QStringLiteral("CTF-B.ut2")});
    FDialogs->AnswerSave(elsewhere + QStringLiteral("/copy.ut2"));
    Trigger(QStringLiteral("MapManager_ExportMap"));
    QCOMPARE(ReadBytes(elsewhere + QStringLiteral("/copy.ut2")), beta);
    Select({QStringLiteral("CTF-B.ut2"), QStringLiteral("dm-renamed.ut2")});
    const QString folder = FFixture->Root() + QStringLiteral("/Export");
    QDir().mkpath(folder);
    FDialogs->AnswerFolder(folder);
    Trigger(QStringLiteral("MapManager_ExportMap"));
    QCOMPARE(ReadBytes(folder + QStringLiteral("/CTF-B.ut2")), beta);
    QCOMPARE(ReadBytes(folder + QStringLiteral("/dm-renamed.ut2")), foo);

    // Into an archive: the selected maps as files of the maps folder. Out of one: what the
    // archive brought is listed at once.
    FContext->ClearOrders();
    Trigger(QStringLiteral("MapManager_ExportIntoArchive"));
    QCOMPARE(FContext->Orders(),
             QStringList{QStringLiteral("ExportToArchive %1/ CTF-B.ut2 dm-renamed.ut2")
                             .arg(FFixture->Game().Path(QStringLiteral("Maps")))});
    FFixture->Game().WriteFile(QStringLiteral("Maps/DM-Zipped.ut2"), fresh);
    Trigger(QStringLiteral("MapManager_ImportFromArchive"));
    QCOMPARE(FContext->Orders().last(), "ImportFromArchive");
    QVERIFY(Rows().contains(QStringLiteral("DM-Zipped.ut2")));
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
        QVERIFY(QFile::copy(real + QStringLiteral("/Maps/") + map.File, MapFile(map.File)));
    ShowPage();
    for (const TRealMap& map : maps) {
        Select({map.File});
        QCOMPARE(Label(QStringLiteral("lbMapManager_MapTitle")), "Title: " + map.Title);
        QCOMPARE(Label(QStringLiteral("lbMapManager_Author")), "Author: " + map.Author);
    }
    Select({QStringLiteral("AS-LevelConfigManagerExample.ut2")});
    QVERIFY(Find<QPlainTextEdit>(QStringLiteral("mmMapManager_Desc"))
                ->toPlainText()
                .startsWith("A top secret map"));
}

QTEST_MAIN(TMapManagerPageTest)
#include "TMapManagerPageTest.moc"
