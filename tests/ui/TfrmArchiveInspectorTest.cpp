#include "IPageContext.h"
#include "TPageTest.h"
#include "TZipBuilder.h"
#include "TfrmArchiveInspector.h"
#include "uKOVA_Misc.h"

#include <QAction>
#include <QDirIterator>
#include <QHeaderView>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The archive window over the page context's double, on archives the tests make: the list,
// flat and safe extraction, passwords, adds and removes, cancel, and drops.
class TfrmArchiveInspectorTest : public TPageTest
{
    Q_OBJECT

private slots:

    void rowsFollowTheArchiveOrder();
    void extractAllWritesOnlySafeNamesIntoTheFolder();
    void failedExtractionKeepsTheOldFile();
    void encryptedEntryNeedsItsPassword();
    void addedNamesReplaceTheirEntriesAndRemoveAllLeavesAnEmptyArchive();
    void newArchiveOverAnExistingFile();
    void cancelStopsALargeExtraction();
    void dropsAddFilesOnly();
    void extractAndOpenUsesAFolderOfTheUsersOwn();
    void mainWindowOpensTheWindow();

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
    // Writes a file below the test's folder, making its folders; its path.
    QString Write(const QString& relative, const QByteArray& bytes) const
    {
        const QString path = Path(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!WriteBytes(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QAction* Action(const QString& name) const { return Child<QAction>(FInspector.get(), name); }
    QStringList Column(int column) const;
    QStringList Tree(const QString& root) const;
    bool ListIsBack() const
    {
        return Child<QStackedWidget>(FInspector.get(), u"pnStack"_s)->currentWidget() ==
               FInspector->Files();
    }
    void SelectRows(const QList<int>& rows) const;

    std::unique_ptr<TfrmArchiveInspector> FInspector;
    QStringList FOpened;
    QByteArray FOldTmpDir;
};

namespace {

bool RunTool(const QString& program, const QStringList& arguments, const QString& folder = {})
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(path, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

#define REQUIRE_TOOL(name)                                                                         \
    if (QStandardPaths::findExecutable(QStringLiteral(name)).isEmpty())                            \
    QSKIP(name " is not installed (./kova.sh test installs it)")

} // namespace

void TfrmArchiveInspectorTest::Prepare()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    FOldTmpDir = qgetenv("TMPDIR");
    QDir().mkpath(Path(u"tmp"_s));
    qputenv("TMPDIR", Path(u"tmp"_s).toLocal8Bit());
    FInspector = std::make_unique<TfrmArchiveInspector>(*FContext);
    FInspector->SetLanguage(FContext->CurrentLanguage());
    FOpened.clear();
    FInspector->SetOpener([this](const QString& file) {
        FOpened << file;
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

QStringList TfrmArchiveInspectorTest::Tree(const QString& root) const
{
    QStringList items;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        items << QDir(root).relativeFilePath(it.filePath()) +
                     (it.fileInfo().isDir() ? u"/"_s : u" %1"_s.arg(it.fileInfo().size()));
    }
    items.sort();
    return items;
}

void TfrmArchiveInspectorTest::SelectRows(const QList<int>& rows) const
{
    QTreeWidget* list = FInspector->Files();
    list->clearSelection();
    for (const int row : rows)
        list->topLevelItem(row)->setSelected(true);
    list->setCurrentItem(list->topLevelItem(rows.first()), 0, QItemSelectionModel::NoUpdate);
}

void TfrmArchiveInspectorTest::rowsFollowTheArchiveOrder()
{
    QVERIFY(!Action(u"MenuExtractAll"_s)->isEnabled());
    QVERIFY(FInspector->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QString archive =
        Build(u"list.zip"_s, TZipBuilder()
                                 .AddFolder("docs/")
                                 .Add("docs/readme.txt", SampleText(2000))
                                 .Add("Maps/DM-Foo.ut2", RandomBytes(1024), false)
                                 .Add("empty.txt", QByteArray()));
    QVERIFY(FInspector->OpenArchive(archive));
    QVERIFY(Action(u"MenuExtractAll"_s)->isEnabled());
    // Installing hands the open archive to the road as an archive, whatever its name says.
    FContext->ClearOrders();
    Action(u"MenuInstallUTContent"_s)->trigger();
    QCOMPARE(FContext->Orders(),
             QStringList{u"InstallFromArchive %1 silent 0 overwrite 1 archive 1"_s.arg(archive)});
    QVERIFY(FInspector->windowTitle().contains(archive));
    QCOMPARE(Column(0), (QStringList{"docs/", "docs/readme.txt", "Maps/DM-Foo.ut2", "empty.txt"}));
    const TZipEntry& readme = FInspector->Zip().Entries().at(1);
    QCOMPARE(Column(1).at(1), FormatFileSize(readme.CompressedSize));
    QCOMPARE(Column(2), (QStringList{FormatFileSize(0), FormatFileSize(2000), FormatFileSize(1024),
                                     FormatFileSize(0)}));
    // The factor: the percentage saved, with four significant digits; stored and empty give 0.
    const double saved = 100.0 * (1.0 - double(readme.CompressedSize) / 2000.0);
    QCOMPARE(Column(3).at(1), QLocale().toString(saved, 'g', 4));
    QCOMPARE(Column(3).at(2), u"0"_s);
    QCOMPARE(Column(3).at(3), u"0"_s);
    QCOMPARE(Column(4).at(0), QString()); // a folder has no extension
    QCOMPARE(Column(4).at(1), GetFileTypeName(u".txt"_s));
    QCOMPARE(FInspector->Files()->headerItem()->text(0),
             FContext->GetLangText(TDialogType::Col_FileName));
    // Rows never sort: a click on a header leaves the archive's order.
    emit FInspector->Files()->header()->sectionClicked(0);
    QCOMPARE(Column(0).first(), u"docs/"_s);
}

void TfrmArchiveInspectorTest::extractAllWritesOnlySafeNamesIntoTheFolder()
{
    const QString archive = Build(u"hostile.zip"_s, TZipBuilder()
                                                        .Add("../evil.txt", "e")
                                                        .Add("/abs/x.txt", "x")
                                                        .Add("a\\..\\..\\y.txt", "y")
                                                        .Add("..", "dots")
                                                        .AddLink("link", "../../outside.txt"));
    QDir().mkpath(Path(u"out"_s));
    QVERIFY(FInspector->OpenArchive(archive));
    const QStringList before = Tree(FFixture->Root());
    FContext->ClearOrders();
    FDialogs->AnswerFolder(Path(u"out"_s));
    FDialogs->AnswerMessage(TModalResult::mrOk);
    Action(u"MenuExtractAll"_s)->trigger();

    QCOMPARE(Tree(Path(u"out"_s)), (QStringList{"evil.txt 1", "x.txt 1", "y.txt 1"}));
    QStringList after = Tree(FFixture->Root());
    for (const QString& name : QStringList{"evil.txt 1", "x.txt 1", "y.txt 1"})
        after.removeOne(u"work/out/"_s + name);
    QCOMPARE(after, before);
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
    SelectRows({0});
    FDialogs->AnswerSave(target);
    QTest::mouseClick(Child<QToolButton>(FInspector.get(), u"ExtractButton"_s), Qt::LeftButton, {},
                      QPoint(8, 8));

    const QList<TCall> errors = FDialogs->CallsOf(TKind::dkException);
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().Text.contains(u"Maps/DM-Bad.ut2"_s));
    QCOMPARE(ReadBytes(target), QByteArray("old map"));
    QCOMPARE(Tree(Path(u"out"_s)), QStringList{"DM-Bad.ut2 7"});
    QVERIFY(ListIsBack());
    QVERIFY(FInspector->Files()->isEnabled());
}

void TfrmArchiveInspectorTest::encryptedEntryNeedsItsPassword()
{
    REQUIRE_TOOL("zip");
    const QByteArray secret = SampleText(4000, 7);
    Write(u"src/secret.ini"_s, secret);
    QVERIFY(RunTool(u"zip"_s, {"-q", "-P", "right", Path(u"locked.zip"_s), "secret.ini"},
                    Path(u"src"_s)));
    QVERIFY(FInspector->OpenArchive(Path(u"locked.zip"_s)));
    QDir().mkpath(Path(u"out"_s));
    SelectRows({0});
    const QString target = Path(u"out/secret.ini"_s);

    for (const QString& answer : QStringList{"wrong", "wronger", "wrongest"})
        FDialogs->AnswerInput(answer);
    FDialogs->AnswerSave(target);
    Action(u"MenuExtractSelected"_s)->trigger();
    QCOMPARE(FDialogs->CallsOf(TKind::dkInput).size(), 3);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QVERIFY(Tree(Path(u"out"_s)).isEmpty());

    FDialogs->Clear();
    FDialogs->AnswerSave(target);
    FDialogs->AnswerInput(QString()); // Cancel
    Action(u"MenuExtractSelected"_s)->trigger();
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 0);
    QVERIFY(Tree(Path(u"out"_s)).isEmpty());

    FDialogs->AnswerSave(target);
    FDialogs->AnswerInput(u"right"_s);
    Action(u"MenuExtractSelected"_s)->trigger();
    QCOMPARE(ReadBytes(target), secret);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TfrmArchiveInspectorTest::addedNamesReplaceTheirEntriesAndRemoveAllLeavesAnEmptyArchive()
{
    REQUIRE_TOOL("unzip");
    const QString archive =
        Build(u"add.zip"_s, TZipBuilder().Add("keep.txt", "keep").Add("readme.txt", "old"));
    QVERIFY(
        QFile::setPermissions(archive, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFileDevice::Permissions permissions = QFile::permissions(archive);
    Write(u"a/b/readme.txt"_s, "from a/b");
    Write(u"c/readme.txt"_s, "from c");
    QVERIFY(FInspector->OpenArchive(archive));
    FInspector->AddFiles({Path(u"a/b/readme.txt"_s), Path(u"c/readme.txt"_s), archive});
    QCOMPARE(Column(0), (QStringList{"keep.txt", "readme.txt"}));
    QVERIFY(RunTool(u"unzip"_s, {"-t", "-q", archive}));
    QVERIFY(FInspector->Zip().ExtractTo(1, Path(u"check.txt"_s)));
    QCOMPARE(ReadBytes(Path(u"check.txt"_s)), QByteArray("from c"));
    QCOMPARE(QFile::permissions(archive), permissions);

    Action(u"MenuEditRemoveAll"_s)->trigger();
    QCOMPARE(FInspector->Files()->topLevelItemCount(), 0);
    QCOMPARE(ReadBytes(archive).size(), 22);
    QVERIFY(FInspector->ArchiveOpen());
    FDialogs->AnswerFolder(Path(u"empty"_s));
    QDir().mkpath(Path(u"empty"_s));
    Action(u"MenuExtractAll"_s)->trigger();
    QVERIFY(Tree(Path(u"empty"_s)).isEmpty());

    // A file that is no zip archive is refused and left alone.
    Write(u"notes.zip"_s, "no zip");
    FDialogs->AnswerOpen({Path(u"notes.zip"_s)});
    Action(u"MenuOpen"_s)->trigger();
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QVERIFY(!FInspector->ArchiveOpen());
    QVERIFY(!Action(u"MenuAddFiles"_s)->isEnabled());
    QCOMPARE(ReadBytes(Path(u"notes.zip"_s)), QByteArray("no zip"));
}

void TfrmArchiveInspectorTest::newArchiveOverAnExistingFile()
{
    const QString archive = Build(u"old.zip"_s, TZipBuilder().Add("a.txt", "a").Add("b.txt", "b"));
    const QByteArray old = ReadBytes(archive);
    FDialogs->AnswerSave(archive);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Action(u"MenuNewArchive"_s)->trigger();
    QCOMPARE(ReadBytes(archive), old);
    QCOMPARE(Column(0), (QStringList{"a.txt", "b.txt"}));
    QCOMPARE(FDialogs->CallsOf(TKind::dkSave).first().Caption,
             FContext->GetLangText(TDialogType::Common_Dialog_SelectArchive));

    FDialogs->AnswerSave(archive);
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Action(u"MenuNewArchive"_s)->trigger();
    QCOMPARE(ReadBytes(archive).size(), 22);
    QVERIFY(FInspector->ArchiveOpen());
    QCOMPARE(FInspector->Files()->topLevelItemCount(), 0);

    // A new archive is open before anything is added to it.
    const QString fresh = Path(u"fresh.zip"_s);
    Write(u"map.ut2"_s, "map");
    FInspector->AddFilesToArchive(fresh, {Path(u"map.ut2"_s)});
    QCOMPARE(FInspector->ArchiveName(), fresh);
    QCOMPARE(Column(0), QStringList{"map.ut2"});
}

void TfrmArchiveInspectorTest::cancelStopsALargeExtraction()
{
    TZipBuilderEntry large;
    large.Name = "Maps/DM-Huge.ut2";
    large.Zeros = 200 * 1024 * 1024;
    const QString archive = Build(u"big.zip"_s, TZipBuilder().Add(large).Add("small.txt", "small"));
    QDir().mkpath(Path(u"out"_s));
    QVERIFY(FInspector->OpenArchive(archive));
    auto* cancel = Child<QPushButton>(FInspector.get(), u"btnCancel"_s);
    bool clicked = false;
    QTimer::singleShot(30, cancel, [&] {
        clicked = true;
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    FDialogs->AnswerFolder(Path(u"out"_s));
    Action(u"MenuExtractAll"_s)->trigger();
    QVERIFY(clicked);
    QVERIFY(Tree(Path(u"out"_s)).isEmpty()); // no part, no temporary
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 0);
    QVERIFY(ListIsBack());

    // The next operation runs to its end; closing the window during one cancels it.
    FDialogs->AnswerFolder(Path(u"out"_s));
    Action(u"MenuExtractAll"_s)->trigger();
    QCOMPARE(QFileInfo(Path(u"out/DM-Huge.ut2"_s)).size(), large.Zeros);
    QCOMPARE(ReadBytes(Path(u"out/small.txt"_s)), QByteArray("small"));

    QDir().mkpath(Path(u"again"_s));
    QTimer::singleShot(30, FInspector.get(), [this] { FInspector->close(); });
    FDialogs->AnswerFolder(Path(u"again"_s));
    Action(u"MenuExtractAll"_s)->trigger();
    QVERIFY(Tree(Path(u"again"_s)).isEmpty());
    QVERIFY(!FInspector->isVisible());
    QVERIFY(!FInspector->ArchiveOpen());
}

void TfrmArchiveInspectorTest::dropsAddFilesOnly()
{
    Write(u"loose.txt"_s, "loose");
    QDir().mkpath(Path(u"folder"_s));
    QMimeData shell;
    shell.setUrls(
        {QUrl::fromLocalFile(Path(u"loose.txt"_s)), QUrl::fromLocalFile(Path(u"folder"_s))});
    // No archive open: nothing.
    QVERIFY(!FInspector->lwFilesDragOver(nullptr, &shell));
    FInspector->lwFilesDragDrop(nullptr, &shell);

    const QString archive = Build(u"drop.zip"_s, TZipBuilder().Add("a.txt", "a"));
    const QByteArray old = ReadBytes(archive);
    QVERIFY(FInspector->OpenArchive(archive));
    QVERIFY(FInspector->lwFilesDragOver(nullptr, &shell));
    FInspector->lwFilesDragDrop(nullptr, &shell);
    QCOMPARE(Column(0), (QStringList{"a.txt", "loose.txt"}));
    QVERIFY(old != ReadBytes(archive));

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
    const QString archive = Build(u"open.zip"_s, TZipBuilder().Add("docs/readme.txt", "read me"));
    QVERIFY(FInspector->OpenArchive(archive));
    SelectRows({0});
    Action(u"MenuExtractAndOpen"_s)->trigger();
    QCOMPARE(FOpened.size(), 1);
    const QFileInfo opened(FOpened.first());
    QCOMPARE(opened.fileName(), u"readme.txt"_s);
    QCOMPARE(ReadBytes(opened.filePath()), QByteArray("read me"));
    QCOMPARE(QFileInfo(opened.absolutePath()).absolutePath(), Path(u"tmp"_s));
    QCOMPARE(QFile::permissions(opened.absolutePath()) & 0x0077, QFileDevice::Permissions());

    // Where a link takes the folder's place, nothing is written through it.
    QVERIFY(QDir(opened.absolutePath()).removeRecursively());
    QDir().mkpath(Path(u"elsewhere"_s));
    QVERIFY(QFile::link(Path(u"elsewhere"_s), opened.absolutePath()));
    Action(u"MenuExtractAndOpen"_s)->trigger();
    QCOMPARE(FOpened.size(), 1);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QVERIFY(Tree(Path(u"elsewhere"_s)).isEmpty());
}

void TfrmArchiveInspectorTest::mainWindowOpensTheWindow()
{
    FInspector.reset();
    const std::unique_ptr<TfrmMain> main = FFixture->CreateMainWindow();
    QVERIFY(main);
    main->show();
    QAction* item = Child<QAction>(main.get(), u"MenuArchiveInspector"_s);
    QVERIFY(item->isEnabled());
    item->trigger();
    TfrmArchiveInspector* window = main->ArchiveInspector();
    QVERIFY(window->isVisible());
    QVERIFY(!window->ArchiveOpen());
    // Dressed by the language with the main window.
    QCOMPARE(Child<QAction>(window, u"MenuInstallUTContent"_s)->text(),
             u"Install UT2004 Files..."_s);
    QCOMPARE(window->Files()->headerItem()->text(1),
             main->GetLangText(TDialogType::Col_CompressedSize));
    main->close();
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(TfrmArchiveInspectorTest)
#include "TfrmArchiveInspectorTest.moc"
