#include "IPageContext.h"
#include "TPageTest.h"
#include "TZipBuilder.h"
#include "TfrmArchiveInspector.h"
#include "uKOVA_Misc.h"

#include <QAction>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The archive window over the page context's double, on archives the tests make: the list, flat
// and safe extraction, several rows at once, failures, new archives, cancel and drops. The
// archive engine's own test proves passwords, adds and sizes that lie.
class TfrmArchiveInspectorTest : public TPageTest
{
    Q_OBJECT

private slots:
    void rowsFollowTheArchiveOrder();
    void extractAllWritesOnlySafeNamesIntoTheFolder();
    void failedExtractionKeepsTheOldFile();
    void everySelectedRowIsExtractedOrRemoved();
    void removeAllAndNewArchives();
    void cancelStopsALargeExtraction();
    void dropsAddFilesOnly();
    void extractAndOpenUsesAFolderOfTheUsersOwn();

private:
    void Prepare() override;
    void Finish() override;
    QString Path(const QString& relative) const
    {
        return FFixture->Root() + u"/work/"_s + relative;
    }
    QString Build(const QString& name, const TZipBuilder& builder) const
    {
        const QString path = Path(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!builder.Write(path))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QString Write(const QString& relative, const QByteArray& bytes) const
    {
        if (!WriteBytes(Path(relative), bytes))
            qFatal("cannot write %s", qPrintable(relative));
        return Path(relative);
    }
    QString EmptyFolder(const QString& relative) const
    {
        QDir().mkpath(Path(relative));
        return Path(relative);
    }
    QAction* Action(const QString& name) const { return Child<QAction>(FInspector.get(), name); }
    QStringList Column(int column) const;
    bool ListIsBack() const
    {
        return Child<QStackedWidget>(FInspector.get(), u"pnStack"_s)->currentWidget() ==
               FInspector->Files();
    }
    void SelectFirstRow() const
    {
        FInspector->Files()->clearSelection();
        FInspector->Files()->topLevelItem(0)->setSelected(true);
        FInspector->Files()->setCurrentItem(FInspector->Files()->topLevelItem(0), 0,
                                            QItemSelectionModel::NoUpdate);
    }

    std::unique_ptr<TfrmArchiveInspector> FInspector;
    QStringList FOpened;
    TOpenEnded FEnded;
    QByteArray FOldTmpDir;
};

void TfrmArchiveInspectorTest::Prepare()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    FOldTmpDir = qgetenv("TMPDIR");
    qputenv("TMPDIR", EmptyFolder(u"tmp"_s).toLocal8Bit());
    FInspector = std::make_unique<TfrmArchiveInspector>(*FContext);
    FInspector->SetLanguage(FContext->CurrentLanguage());
    FOpened.clear();
    FEnded = nullptr;
    FInspector->SetOpener([this](const QString& file, QString*, TOpenEnded onEnded) {
        FOpened << file;
        FEnded = std::move(onEnded);
        return true;
    });
    FInspector->show();
}

void TfrmArchiveInspectorTest::Finish()
{
    FInspector.reset();
    if (FOldTmpDir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", FOldTmpDir);
}

QStringList TfrmArchiveInspectorTest::Column(int column) const
{
    QStringList texts;
    const QTreeWidget* list = FInspector->Files();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

void TfrmArchiveInspectorTest::rowsFollowTheArchiveOrder()
{
    const QString archive =
        Build(u"list.zip"_s, TZipBuilder()
                                 .AddFolder("docs/")
                                 .Add("docs/readme.txt", SampleText(2000))
                                 .Add("Maps/DM-Foo.ut2", RandomBytes(1024), false)
                                 .Add("empty.txt", QByteArray())
                                 .Add("Karte-\x81.ut2", "cp437", false));
    QVERIFY(FInspector->OpenArchive(archive));
    // Names without the UTF-8 flag are code page 437; a click on a header never sorts.
    emit FInspector->Files()->header()->sectionClicked(0);
    QCOMPARE(Column(0), (QStringList{"docs/", "docs/readme.txt", "Maps/DM-Foo.ut2", "empty.txt",
                                     QString::fromUtf8("Karte-\u00fc.ut2")}));
    // Sizes; the factor is the percentage saved in four significant digits, 0 when stored.
    QCOMPARE(Column(2).mid(0, 4), (QStringList{FormatFileSize(0), FormatFileSize(2000),
                                               FormatFileSize(1024), FormatFileSize(0)}));
    const double saved = 100.0 * (1.0 - FInspector->Zip().Entries().at(1).CompressedSize / 2000.0);
    QCOMPARE(Column(3).mid(1, 3), (QStringList{QLocale().toString(saved, 'g', 4), "0", "0"}));
    // Installing hands the open archive to the road as an archive, whatever its name says.
    FContext->ClearOrders();
    Action(u"MenuInstallUTContent"_s)->trigger();
    QCOMPARE(FContext->Orders(),
             QStringList{u"InstallFromArchive %1 silent 0 overwrite 1 archive 1"_s.arg(archive)});
}

void TfrmArchiveInspectorTest::extractAllWritesOnlySafeNamesIntoTheFolder()
{
    const QString archive = Build(u"hostile.zip"_s, TZipBuilder()
                                                        .Add("../evil.txt", "e")
                                                        .Add("/abs/x.txt", "x")
                                                        .Add("a\\..\\..\\y.txt", "y")
                                                        .Add("..", "dots")
                                                        .AddLink("link", "../../outside.txt")
                                                        .Add("c:", "drive")
                                                        .Add("new\nline.txt", "newline"));
    const QString out = EmptyFolder(u"out"_s);
    QVERIFY(FInspector->OpenArchive(archive));
    const QStringList before = FileTree(FFixture->Root());
    FContext->ClearOrders();
    FDialogs->AnswerFolder(out);
    FDialogs->AnswerMessage(TModalResult::mrOk);
    Action(u"MenuExtractAll"_s)->trigger();

    const QStringList written = {"evil.txt 1", "x.txt 1", "y.txt 1"};
    QCOMPARE(FileTree(out), written);
    QStringList after = FileTree(FFixture->Root());
    for (const QString& name : written)
        after.removeOne(u"work/out/"_s + name);
    QCOMPARE(after, before);
    // What was left out is named.
    const QList<TCall> messages = FDialogs->CallsOf(TKind::dkMessage);
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages.first().Text.contains(u"\n.."_s));
    QVERIFY(messages.first().Text.contains(u"\nlink"_s));
    QCOMPARE(FContext->Orders(), (QStringList{"SetBusy 1", "SetBusy 0"}));
    QVERIFY(ListIsBack());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TfrmArchiveInspectorTest::failedExtractionKeepsTheOldFile()
{
    TZipBuilderEntry bad;
    bad.Name = "Maps/DM-Bad.ut2";
    bad.Data = SampleText(300000);
    bad.Crc = 0xdeadbeef;
    const QString archive = Build(u"bad.zip"_s, TZipBuilder().Add(bad));
    const QString target = Write(u"out/DM-Bad.ut2"_s, "old map");
    QVERIFY(FInspector->OpenArchive(archive));
    SelectFirstRow();
    FDialogs->AnswerSave(target);
    QTest::mouseClick(Child<QToolButton>(FInspector.get(), u"ExtractButton"_s), Qt::LeftButton, {},
                      QPoint(8, 8));

    // The engine's test proves the old file is kept; here the failure is shown.
    const QList<TCall> errors = FDialogs->CallsOf(TKind::dkException);
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().Text.contains(u"Maps/DM-Bad.ut2"_s));
    QVERIFY(ListIsBack());
    QVERIFY(FInspector->Files()->isEnabled());

    // A file that is no zip archive is refused, said so, and left alone.
    Write(u"notes.zip"_s, "no zip");
    FDialogs->AnswerOpen({Path(u"notes.zip"_s)});
    Action(u"MenuOpen"_s)->trigger();
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 2);
    QVERIFY(!FInspector->ArchiveOpen());
    QVERIFY(!Action(u"MenuAddFiles"_s)->isEnabled());
}

void TfrmArchiveInspectorTest::everySelectedRowIsExtractedOrRemoved()
{
    const QString archive = Build(
        u"four.zip"_s,
        TZipBuilder().Add("a.txt", "a").Add("docs/b.txt", "b").Add("c.txt", "c").Add("d.txt", "d"));
    QVERIFY(FInspector->OpenArchive(archive));
    const auto select = [this](const QList<int>& rows) {
        FInspector->Files()->clearSelection();
        for (const int row : rows)
            FInspector->Files()->topLevelItem(row)->setSelected(true);
    };
    select({1, 3});
    FDialogs->AnswerFolder(EmptyFolder(u"out"_s));
    Action(u"MenuExtractSelected"_s)->trigger();
    QCOMPARE(FileTree(Path(u"out"_s)), (QStringList{"b.txt 1", "d.txt 1"}));

    select({0, 2, 3});
    Action(u"MenuEditRemoveFromArchive"_s)->trigger();
    QCOMPARE(Column(0), QStringList{"docs/b.txt"});
    QCOMPARE(UnzipNames(archive), QStringList{"docs/b.txt"});
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TfrmArchiveInspectorTest::removeAllAndNewArchives()
{
    const QString archive = Build(u"old.zip"_s, TZipBuilder().Add("a.txt", "a").Add("b.txt", "b"));
    const QByteArray old = ReadBytes(archive);
    QVERIFY(FInspector->OpenArchive(archive));
    Action(u"MenuEditRemoveAll"_s)->trigger();
    QCOMPARE(FInspector->Files()->topLevelItemCount(), 0);
    QCOMPARE(ReadBytes(archive).size(), 22);
    QVERIFY(FInspector->ArchiveOpen());
    FDialogs->AnswerFolder(EmptyFolder(u"empty"_s));
    Action(u"MenuExtractAll"_s)->trigger();
    QVERIFY(FileTree(Path(u"empty"_s)).isEmpty());

    // New over an existing file: No keeps it, Yes empties it.
    WriteBytes(archive, old);
    FDialogs->AnswerSave(archive);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Action(u"MenuNewArchive"_s)->trigger();
    QCOMPARE(ReadBytes(archive), old);
    QCOMPARE(Column(0), (QStringList{"a.txt", "b.txt"}));
    FDialogs->AnswerSave(archive);
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Action(u"MenuNewArchive"_s)->trigger();
    QCOMPARE(ReadBytes(archive).size(), 22);
    QCOMPARE(FInspector->Files()->topLevelItemCount(), 0);

    // A new archive is open before anything is added to it.
    const QString fresh = Path(u"fresh.zip"_s);
    FInspector->AddFilesToArchive(fresh, {Write(u"map.ut2"_s, "map")});
    QCOMPARE(FInspector->ArchiveName(), fresh);
    QCOMPARE(Column(0), QStringList{"map.ut2"});
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TfrmArchiveInspectorTest::cancelStopsALargeExtraction()
{
    TZipBuilderEntry large;
    large.Name = "Maps/DM-Huge.ut2";
    large.Zeros = 200 * 1024 * 1024;
    const QString archive = Build(u"big.zip"_s, TZipBuilder().Add(large).Add("small.txt", "small"));
    const QString out = EmptyFolder(u"out"_s);
    QVERIFY(FInspector->OpenArchive(archive));
    auto* cancel = Child<QPushButton>(FInspector.get(), u"btnCancel"_s);
    bool clicked = false;
    QTimer::singleShot(30, cancel, [&] {
        clicked = true;
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    FDialogs->AnswerFolder(out);
    Action(u"MenuExtractAll"_s)->trigger();
    QVERIFY(clicked);
    QVERIFY(FileTree(out).isEmpty()); // no part, no temporary
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 0);
    QVERIFY(ListIsBack());

    // The next operation runs to its end; closing the window during one cancels it.
    FDialogs->AnswerFolder(out);
    Action(u"MenuExtractAll"_s)->trigger();
    QCOMPARE(QFileInfo(out + u"/DM-Huge.ut2"_s).size(), large.Zeros);
    QCOMPARE(ReadBytes(out + u"/small.txt"_s), QByteArray("small"));
    QTimer::singleShot(30, FInspector.get(), [this] { FInspector->close(); });
    FDialogs->AnswerFolder(EmptyFolder(u"again"_s));
    Action(u"MenuExtractAll"_s)->trigger();
    QVERIFY(FileTree(Path(u"again"_s)).isEmpty());
    QVERIFY(!FInspector->isVisible());
    QVERIFY(!FInspector->ArchiveOpen());
}

void TfrmArchiveInspectorTest::dropsAddFilesOnly()
{
    QMimeData shell;
    shell.setUrls({QUrl::fromLocalFile(Write(u"loose.txt"_s, "loose")),
                   QUrl::fromLocalFile(EmptyFolder(u"folder"_s))});
    // No archive open: nothing.
    QVERIFY(!FInspector->lwFilesDragOver(nullptr, &shell));
    FInspector->lwFilesDragDrop(nullptr, &shell);

    const QString archive = Build(u"drop.zip"_s, TZipBuilder().Add("a.txt", "a"));
    QVERIFY(FInspector->OpenArchive(archive));
    QVERIFY(FInspector->lwFilesDragOver(nullptr, &shell));
    FInspector->lwFilesDragDrop(nullptr, &shell);
    QCOMPARE(Column(0), (QStringList{"a.txt", "loose.txt"}));

    // Rows of a list the page context names as the maps list add the maps under bare names.
    WriteMap(FFixture->Game(), u"DM-Drag.ut2"_s, "Drag", "Tester");
    QTreeWidget maps;
    IPageContext::AddDragList(&maps, TMapPaths::mpMaps);
    for (const QString& name : QStringList{"DM-Other.ut2", "DM-Drag.ut2"})
        new QTreeWidgetItem(&maps, QStringList{name});
    maps.topLevelItem(1)->setSelected(true);
    QMimeData rows;
    QVERIFY(FInspector->lwFilesDragOver(&maps, &rows));
    FInspector->lwFilesDragDrop(&maps, &rows);
    QCOMPARE(Column(0), (QStringList{"a.txt", "loose.txt", "DM-Drag.ut2"}));
    QVERIFY(FInspector->Zip().ExtractTo(2, Path(u"drag.ut2"_s)));
    QCOMPARE(ReadBytes(Path(u"drag.ut2"_s)),
             ReadBytes(FFixture->Game().Path(u"Maps/DM-Drag.ut2"_s)));

    // A list that is not one of the four adds nothing.
    QTreeWidget other;
    new QTreeWidgetItem(&other, QStringList{"DM-Drag.ut2"});
    other.topLevelItem(0)->setSelected(true);
    FInspector->lwFilesDragDrop(&other, &rows);
    QCOMPARE(FInspector->Files()->topLevelItemCount(), 3);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TfrmArchiveInspectorTest::extractAndOpenUsesAFolderOfTheUsersOwn()
{
    QVERIFY(FInspector->OpenArchive(
        Build(u"open.zip"_s, TZipBuilder().Add("docs/readme.txt", "read me"))));
    SelectFirstRow();
    Action(u"MenuExtractAndOpen"_s)->trigger();
    QCOMPARE(FOpened.size(), 1);
    const QFileInfo opened(FOpened.first());
    QCOMPARE(opened.fileName(), u"readme.txt"_s);
    QCOMPARE(ReadBytes(opened.filePath()), QByteArray("read me"));
    QCOMPARE(QFileInfo(opened.absolutePath()).absolutePath(), Path(u"tmp"_s));
    QCOMPARE(QFile::permissions(opened.absolutePath()) & 0x0077, QFileDevice::Permissions());
    // A program that fails after its start is reported then, naming the file.
    QVERIFY(FDialogs->Calls().isEmpty());
    QVERIFY(FEnded);
    FEnded(1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).first().Text,
             OpenFailureText(opened.filePath(), 1));

    // Where a link takes the folder's place, nothing is written through it.
    QVERIFY(QDir(opened.absolutePath()).removeRecursively());
    QVERIFY(QFile::link(EmptyFolder(u"elsewhere"_s), opened.absolutePath()));
    Action(u"MenuExtractAndOpen"_s)->trigger();
    QCOMPARE(FOpened.size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 2);
    QVERIFY(FileTree(Path(u"elsewhere"_s)).isEmpty());
}

QTEST_MAIN(TfrmArchiveInspectorTest)
#include "TfrmArchiveInspectorTest.moc"
