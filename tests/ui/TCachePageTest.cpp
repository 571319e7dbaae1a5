#include "TCacheManager.h"
#include "TCachePage.h"
#include "TMapManager.h"
#include "TPageTest.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The Cache Manager page over a fixture game folder: what the rows show, and that each row
// installs, hides or purges its own entry and nothing else.
class TCachePageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void rowsShowEachEntryAndClearingDropsOnlyDeadLines();
    void eachRowActsOnItsOwnEntry();
    void zipPacksDataFilesUnderRecordedNamesAndInstallsNothing();
    void entriesThatCannotGoAreNamedAndKeepTheirRows();
    void realCachesListAsTheirIndexSays();

private:
    TCachePage* ShowPage() { return TPageTest::ShowPage<TCachePage>(u"tbCacheManager"_s); }
    QTreeWidget* List() const { return Find<QTreeWidget>("lwCache_List"); }
    // Each row as "name|size|GUID", in list order.
    QStringList Rows() const;
    // Selects the rows of these GUIDs only.
    void Select(const QStringList& guids) const;
    void Press(const QString& action) const
    {
        auto* bar = Find<QWidget>(u"tbrCacheManager"_s);
        for (QToolButton* button : bar->findChildren<QToolButton*>()) {
            if (button->defaultAction() == Find<QAction>(action))
                QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    void WriteCache(const QString& name, const QByteArray& bytes) const
    {
        FFixture->Game().WriteFile(u"Cache/"_s + name, bytes);
    }
    QByteArray Game(const QString& relative) const { return FFixture->Game().ReadFile(relative); }
};

QStringList TCachePageTest::Rows() const
{
    QStringList rows;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = List()->topLevelItem(i);
        rows << row->text(0) + u'|' + row->text(1) + u'|' + row->text(2);
    }
    return rows;
}

void TCachePageTest::Select(const QStringList& guids) const
{
    List()->clearSelection();
    for (int i = 0; i < List()->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = List()->topLevelItem(i);
        if (guids.contains(row->text(2)))
            row->setSelected(true);
    }
}

void TCachePageTest::rowsShowEachEntryAndClearingDropsOnlyDeadLines()
{
    const QByteArray index = "[Cache]\r\n"
                             "G1=Foo.u\r\n"
                             "; kept as it is\r\n"
                             "G2=Bar.utx\r\n"
                             "G3=Gone.u\r\n"
                             "G4=Doc.xyz\r\n"
                             "\r\n"
                             "[Other]\r\n"
                             "G3=Gone.u\r\n";
    WriteCache(u"cache.ini"_s, index);
    WriteCache(u"G1.uxx"_s, QByteArray(2000, 'f'));
    WriteCache(u"G2.uxx"_s, QByteArray(300, 'b'));
    WriteCache(u"G4.uxx"_s, QByteArray(1500000, 'd'));
    ShowPage();
    QCOMPARE(Rows(), QStringList({"Foo.u|1.95 KB|G1", "Bar.utx|300 Byte|G2", "Gone.u|0 Byte|G3",
                                  "Doc.xyz|1.43 MB|G4"}));
    const QImage warning =
        List()->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16).toImage();
    QCOMPARE(List()->topLevelItem(2)->icon(0).pixmap(16).toImage(), warning);
    QVERIFY(List()->topLevelItem(0)->icon(0).pixmap(16).toImage() != warning);

    // Sorting by size compares the data files' bytes, not the size texts.
    QHeaderView* header = List()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    QCOMPARE(Rows(), QStringList({"Gone.u|0 Byte|G3", "Bar.utx|300 Byte|G2", "Foo.u|1.95 KB|G1",
                                  "Doc.xyz|1.43 MB|G4"}));

    Press(u"CacheClearCorrupt"_s);
    QCOMPARE(Rows(),
             QStringList({"Foo.u|1.95 KB|G1", "Bar.utx|300 Byte|G2", "Doc.xyz|1.43 MB|G4"}));
    // The line of [Other] stays.
    QCOMPARE(Game(u"Cache/cache.ini"_s), QByteArray(index).replace("G3=Gone.u\r\nG4", "G4"));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TCachePageTest::eachRowActsOnItsOwnEntry()
{
    const QByteArray index = "[Cache]\r\nG1=Foo.u\r\nG5=Foo.u\r\nG6=Baz.u\r\n";
    WriteCache(u"cache.ini"_s, index);
    WriteCache(u"G1.uxx"_s, "first version");
    WriteCache(u"G5.uxx"_s, "second version");
    WriteCache(u"G6.uxx"_s, "baz");
    ShowPage();
    auto* move = Find<QCheckBox>(u"cbCacheDeleteSourceFilesAfterInstallation"_s);
    QVERIFY(move->isChecked());

    // Moved: the row's own bytes arrive; the other entry of that name keeps file and key.
    Select({u"G5"_s});
    Press(u"InstallCache"_s);
    QCOMPARE(Game(u"System/Foo.u"_s), QByteArray("second version"));
    QVERIFY(!QFile::exists(FFixture->Game().Path(u"Cache/G5.uxx"_s)));
    QCOMPARE(Game(u"Cache/G1.uxx"_s), QByteArray("first version"));
    QCOMPARE(Game(u"Cache/cache.ini"_s), QByteArray("[Cache]\r\nG1=Foo.u\r\nG6=Baz.u\r\n"));
    QCOMPARE(Rows(), QStringList({"Foo.u|13 Byte|G1", "Baz.u|3 Byte|G6"}));

    // A replace the user declines installs nothing, and the row stays for another try.
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Select({u"G1"_s});
    Press(u"InstallCache"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    QCOMPARE(Game(u"System/Foo.u"_s), QByteArray("second version"));
    QCOMPARE(Rows(), QStringList({"Foo.u|13 Byte|G1", "Baz.u|3 Byte|G6"}));
    QCOMPARE(FContext->CacheManager()->GetCount(), 2);

    // Copied: the data file stays, its key goes, and so does the entry; the row stays.
    move->setChecked(false);
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Press(u"InstallCache"_s);
    QCOMPARE(Game(u"System/Foo.u"_s), QByteArray("first version"));
    QCOMPARE(Game(u"Cache/G1.uxx"_s), QByteArray("first version"));
    QCOMPARE(Game(u"Cache/cache.ini"_s), QByteArray("[Cache]\r\nG6=Baz.u\r\n"));
    QCOMPARE(Rows(), QStringList({"Foo.u|13 Byte|G1", "Baz.u|3 Byte|G6"}));
    QCOMPARE(FContext->CacheManager()->GetCount(), 1);
    // Its entry is gone: the row does nothing more.
    Press(u"InstallCache"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2);

    // Hidden: the row and the entry go, the cache itself is untouched.
    Select({u"G6"_s});
    Press(u"CleanCache"_s);
    QCOMPARE(Rows(), QStringList({"Foo.u|13 Byte|G1"}));
    QCOMPARE(FContext->CacheManager()->GetCount(), 0);
    QCOMPARE(Game(u"Cache/cache.ini"_s), QByteArray("[Cache]\r\nG6=Baz.u\r\n"));
    QCOMPARE(Game(u"Cache/G6.uxx"_s), QByteArray("baz"));

    QVERIFY(FDialogs->AllAnswersUsed());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TCachePageTest::zipPacksDataFilesUnderRecordedNamesAndInstallsNothing()
{
    const QByteArray index = "[Cache]\r\nG1=Foo.u\r\nG2=Bar.utx\r\nG3=Gone.u\r\n";
    WriteCache(u"cache.ini"_s, index);
    WriteCache(u"G1.uxx"_s, "foo bytes");
    WriteCache(u"G2.uxx"_s, "bar bytes");
    ShowPage();
    const QStringList rows = Rows();
    const QString archive = FFixture->Root() + u"/Cached.zip"_s;
    Press(u"CacheSelectAll"_s);
    FDialogs->AnswerSave(QString()); // cancelled: nothing happens
    Press(u"CacheInstallAndZip"_s);
    QVERIFY(!QFile::exists(archive));

    FDialogs->AnswerSave(archive);
    FDialogs->AnswerMessage(TModalResult::mrOk);
    Press(u"CacheInstallAndZip"_s);
    const QList<TCall> messages = FDialogs->CallsOf(TKind::dkMessage);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().Type, TMsgDlgType::mtWarning);
    QVERIFY(messages.first().Text.contains(u"Gone.u"_s));
    QVERIFY(!messages.first().Text.contains(u"Foo.u"_s));

    QCOMPARE(UnzipNames(archive), QStringList({"Foo.u", "Bar.utx"}));
    QCOMPARE(RunTool(u"unzip"_s, {u"-p"_s, archive, u"Bar.utx"_s}), QByteArray("bar bytes"));

    // Nothing was installed, and the cache is as it was.
    QCOMPARE(Game(u"Cache/cache.ini"_s), index);
    QCOMPARE(Game(u"Cache/G1.uxx"_s), QByteArray("foo bytes"));
    QVERIFY(!QFile::exists(FFixture->Game().Path(u"System/Foo.u"_s)));
    QCOMPARE(Rows(), rows);
    QCOMPARE(FContext->CacheManager()->GetCount(), 3);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TCachePageTest::entriesThatCannotGoAreNamedAndKeepTheirRows()
{
    // A data file that is a link is none the game stored; the other entry installs, a map that
    // the map list shows at once.
    const QByteArray index = "[Cache]\r\nG1=Linked.u\r\nG2=DM-Plain.ut2\r\n";
    WriteCache(u"cache.ini"_s, index);
    WriteCache(u"Elsewhere.bin"_s, "elsewhere");
    QVERIFY(QFile::link(FFixture->Game().Path(u"Cache/Elsewhere.bin"_s),
                        FFixture->Game().Path(u"Cache/G1.uxx"_s)));
    WriteCache(u"G2.uxx"_s, "plain");
    ShowPage();
    Press(u"CacheSelectAll"_s);
    Press(u"InstallCache"_s);

    const QList<TCall> errors = FDialogs->CallsOf(TKind::dkMessage);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().Caption, FContext->GetLangText(TDialogType::Common_Error));
    QVERIFY(errors.first().Text.startsWith(u"Linked.u: "_s));
    QVERIFY(!errors.first().Text.contains(u"DM-Plain.ut2"_s));
    QCOMPARE(Game(u"Maps/DM-Plain.ut2"_s), QByteArray("plain"));
    QVERIFY(FContext->MapManager()->FindByFileName(u"DM-Plain.ut2"));
    QCOMPARE(Rows(), QStringList({"Linked.u|9 Byte|G1"}));
}

void TCachePageTest::realCachesListAsTheirIndexSays()
{
    if (RealDataDir().isEmpty())
        QSKIP("no real game files here");
    // The UT2004 index: 47 entries, none with its data file.
    const QByteArray ut2004 =
        ReadBytes(RealDataDir() + u"/ini/GrantSorenson-LumpysInvasionServer/Cache/cache.ini"_s);
    QStringList expected;
    for (const QByteArray& line : ut2004.split('\n')) {
        if (const qsizetype eq = line.indexOf('='); eq > 0)
            expected << QString::fromLatin1(line.mid(eq + 1).trimmed() + "|0 Byte|" +
                                            line.left(eq));
    }
    QCOMPARE(expected.size(), 47);
    WriteCache(u"cache.ini"_s, ut2004);
    TCachePage* page = ShowPage();
    QCOMPARE(Rows(), expected);

    // The Killing Floor cache: one name under two GUIDs, each row installs its own bytes.
    const QDir kf(RealDataDir() + u"/kf1-cache/Cache"_s);
    for (const QString& name : kf.entryList(QDir::Files))
        WriteCache(name, ReadBytes(kf.filePath(name)));
    FContext->RecreateManagers();
    page->RefreshPage();
    QCOMPARE(List()->topLevelItemCount(), 36);
    FDialogs->AnswerMessage(TModalResult::mrYes); // the second replaces the first one's file
    for (const QString guid :
         {"6B53FF7348257FFBEF34769B671876FF-1", "5FBF66EC494B46314CE2CFBE841A90C2-1"}) {
        QVERIFY(Rows().contains(u"ReloadOptionsSP_Meteor.u|28.81 KB|"_s + guid));
        Select({guid});
        Press(u"InstallCache"_s);
        QCOMPARE(Game(u"System/ReloadOptionsSP_Meteor.u"_s), ReadBytes(kf.filePath(guid + ".uxx")));
    }
    QCOMPARE(List()->topLevelItemCount(), 34);
    QVERIFY(FDialogs->AllAnswersUsed());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

QTEST_MAIN(TCachePageTest)
#include "TCachePageTest.moc"
