#include "IPageContext.h"
#include "TAddOnsPage.h"
#include "TInstallationSummary.h"
#include "TPageTest.h"
#include "TZipBuilder.h"
#include "TemplateFormat.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The Add-Ons page over the page context's double: the count line, removing an add-on with its
// sibling files, installing one.
class TAddOnsPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void countLineShowsWholeMegabytes();
    void removeOffersOnlyTheAddonsOwnFilesAndTrashesTheTicked();
    void installCopiesTheTickedSiblingsIntoSystem();
    void zipArchiveGoesThroughTheInstallationRoad();
    void realCodePackagesAreListedWithTheirSiblings();

private:
    TAddOnsPage* ShowPage()
    {
        return FPage = TPageTest::ShowPage<TAddOnsPage>(u"tbMutatorManager"_s);
    }
    QStringList Rows() const { return Captions(FPage->List()); }
    void Select(const QStringList& names) const { SelectRows(FPage->List(), names); }
    QString System(const QString& name = QString()) const
    {
        return FFixture->Game().Path(u"System/"_s + name);
    }

    TAddOnsPage* FPage = nullptr;
};

namespace {

// The rows of the add-on file selection, "+" for a ticked one.
QStringList SelectionRows(QWidget* dialog)
{
    auto* files = Child<QListWidget>(dialog, u"clbFiles"_s);
    QStringList rows;
    for (int i = 0; i < files->count(); ++i)
        rows << (files->item(i)->checkState() == Qt::Checked ? u"+"_s : u"-"_s) +
                    files->item(i)->text();
    return rows;
}

void Continue(QWidget* dialog)
{
    QTest::mouseClick(Child<QPushButton>(dialog, u"btnContinue"_s), Qt::LeftButton);
}

} // namespace

void TAddOnsPageTest::countLineShowsWholeMegabytes()
{
    FFixture->Game().WriteFile(u"System/Big.u"_s, QByteArray(1048575, 'u'));
    FFixture->Game().WriteFile(u"System/Big.int"_s, "not counted");
    ShowPage();
    auto* label = Find<QLabel>(u"lbAddOns_Installed"_s);
    const QString pattern = FContext->GetLangText(TDialogType::Statistics_lbModsInstalled);
    QCOMPARE(label->text(), FormatTemplate(pattern, {1, 0}));
    QCOMPARE(Rows(), QStringList{"Big.u"});

    // One byte more, in a second file, makes a whole megabyte.
    FFixture->Game().WriteFile(u"System/Small.u"_s, "u");
    FPage->RefreshPage();
    QCOMPARE(label->text(), FormatTemplate(pattern, {2, 1}));
    QCOMPARE(Rows(), (QStringList{"Big.u", "Small.u"}));

    // The size column sorts by bytes, not by its text.
    FFixture->Game().WriteFile(u"System/A.u"_s, QByteArray(2000, 'u'));
    FPage->RefreshPage();
    FPage->List()->sortItems(1, Qt::AscendingOrder);
    QCOMPARE(Rows(), (QStringList{"Small.u", "A.u", "Big.u"}));
}

void TAddOnsPageTest::removeOffersOnlyTheAddonsOwnFilesAndTrashesTheTicked()
{
    for (const char* name : {"Foo.u", "Foo.int", "Foo.ucl", "FooBar.u", "Foo*.u", "Other.u"})
        FFixture->Game().WriteFile(u"System/"_s + QLatin1String(name), name);
    ShowPage();

    // A name with a mask character is one add-on's name.
    Select({"Foo*.u"});
    const auto masked = WhenModal([](QWidget* dialog) {
        QCOMPARE(SelectionRows(dialog), QStringList{"+Foo*.u"});
        QTest::mouseClick(Child<QPushButton>(dialog, u"btnCancel"_s), Qt::LeftButton);
    });
    Click(u"btnAddOns_Remove"_s);
    QVERIFY(*masked);
    QVERIFY(QFile::exists(System(u"Foo*.u"_s)));

    // Continue moves the ticked files to the trash, asking nothing more; only the rows of files
    // that went go.
    Select({"Foo.u"});
    const auto removing = WhenModal([](QWidget* dialog) {
        QCOMPARE(SelectionRows(dialog), (QStringList{"+Foo.int", "+Foo.u", "+Foo.ucl"}));
        Continue(dialog);
    });
    Click(u"btnAddOns_Remove"_s);
    QVERIFY(*removing);
    for (const QString name : {"Foo.u", "Foo.int", "Foo.ucl"}) {
        QVERIFY2(!QFile::exists(System(name)), qPrintable(name));
        QCOMPARE(ReadBytes(Trashed(name)), name.toLatin1());
    }
    for (const QString name : {"FooBar.u", "Foo*.u", "Other.u"})
        QVERIFY2(QFile::exists(System(name)), qPrintable(name));
    QCOMPARE(Rows(), (QStringList{"Foo*.u", "FooBar.u", "Other.u"}));
    QCOMPARE(FDialogs->Calls().size(), 0);

    // Nothing ticked deletes nothing and asks nothing more.
    FDialogs->Clear();
    Select({"FooBar.u"});
    const auto unticked = WhenModal([](QWidget* dialog) {
        auto* files = Child<QListWidget>(dialog, u"clbFiles"_s);
        for (int i = 0; i < files->count(); ++i)
            files->item(i)->setCheckState(Qt::Unchecked);
        Continue(dialog);
    });
    Click(u"btnAddOns_Remove"_s);
    QVERIFY(*unticked);
    QVERIFY(QFile::exists(System(u"FooBar.u"_s)));
    QCOMPARE(FDialogs->Calls().size(), 0);
    QCOMPARE(Rows(), (QStringList{"Foo*.u", "FooBar.u", "Other.u"}));
}

void TAddOnsPageTest::installCopiesTheTickedSiblingsIntoSystem()
{
    const QString elsewhere = FFixture->Root() + u"/Download"_s;
    QVERIFY(QDir().mkpath(elsewhere));
    const QByteArray package(70000, 'p');
    WriteBytes(elsewhere + u"/Foo.u"_s, package);
    WriteBytes(elsewhere + u"/Foo.int"_s, "[Public]\r\n");
    WriteBytes(elsewhere + u"/Bar.u"_s, "bar");
    ShowPage();

    FDialogs->AnswerOpen({elsewhere + u"/Foo.u"_s});
    const auto installing = WhenModal([](QWidget* dialog) {
        QCOMPARE(SelectionRows(dialog), (QStringList{"+Foo.int", "+Foo.u"}));
        Continue(dialog);
    });
    Click(u"btnAddOns_Install"_s);
    QVERIFY(*installing);
    QCOMPARE(ReadBytes(System(u"Foo.u"_s)), package);
    QCOMPARE(ReadBytes(System(u"Foo.int"_s)), QByteArray("[Public]\r\n"));
    QVERIFY(!QFile::exists(System(u"Bar.u"_s)));

    // A package chosen in the System folder, by its own path or through a link to the folder,
    // is where it belongs already: nothing is offered.
    QVERIFY(QFile::link(System(), FFixture->Root() + u"/SystemLink"_s));
    FDialogs->AnswerOpen({System(u"Foo.u"_s)});
    FDialogs->AnswerOpen({FFixture->Root() + u"/SystemLink/Foo.u"_s});
    const auto nothing = WhenModal([](QWidget*) {}, 300);
    Click(u"btnAddOns_Install"_s);
    Click(u"btnAddOns_Install"_s);
    QVERIFY(!nothing.Wait());
    QCOMPARE(ReadBytes(System(u"Foo.u"_s)), package);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);

    // The archive buttons take the road with the list's System folder.
    FPage->RefreshPage();
    Select({"Foo.u"});
    Find<QAction>(u"AddOns_IntoArchive"_s)->trigger();
    QCOMPARE(FContext->Orders().last(),
             u"ExportToArchive %1 Foo.u"_s.arg(FContext->Settings().GetPath(TMapPaths::mpSystem)));
    Find<QAction>(u"AddOns_FromArchive"_s)->trigger();
    QCOMPARE(FContext->Orders().last(), u"ImportFromArchive"_s);
}

void TAddOnsPageTest::zipArchiveGoesThroughTheInstallationRoad()
{
    const QString archive = FFixture->Root() + u"/Download/Pack.zip"_s;
    QDir().mkpath(FFixture->Root() + u"/Download"_s);
    QVERIFY(TZipBuilder()
                .Add("Zipped.u", "zipped package")
                .Add("Zipped.int", "[Public]")
                .Write(archive));
    TfrmMain* window = ShowWindow();
    window->ShowPage(u"tbMutatorManager"_s);

    FDialogs->AnswerOpen({archive});
    QStringList summaryRows;
    const auto summaryShown = WhenModal([&summaryRows](QWidget* dialog) {
        auto* summary = qobject_cast<TInstallationSummary*>(dialog);
        QVERIFY(summary);
        summaryRows = Captions(summary->Files());
        QTest::mouseClick(Child<QPushButton>(summary, u"btnOk"_s), Qt::LeftButton);
    });
    Click(u"btnAddOns_Install"_s);
    QVERIFY(*summaryShown);
    QCOMPARE(summaryRows, (QStringList{"Pack.zip", "Pack.zip"}));
    QCOMPARE(ReadBytes(System(u"Zipped.u"_s)), QByteArray("zipped package"));
    QCOMPARE(ReadBytes(System(u"Zipped.int"_s)), QByteArray("[Public]"));
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TAddOnsPageTest::realCodePackagesAreListedWithTheirSiblings()
{
    if (RealDataDir().isEmpty())
        QSKIP("The real game files are not on this machine");
    for (const QFileInfo& file : QDir(RealDataDir() + u"/System"_s).entryInfoList(QDir::Files))
        QVERIFY(QFile::copy(file.filePath(), System(file.fileName())));
    ShowPage();
    QCOMPARE(Rows().size(), 19);
    Select({"UT2004RPG.u"});
    const auto offered = WhenModal([](QWidget* dialog) {
        QCOMPARE(SelectionRows(dialog),
                 (QStringList{"+UT2004RPG.int", "+UT2004RPG.u", "+UT2004RPG.ucl"}));
        QTest::mouseClick(Child<QPushButton>(dialog, u"btnCancel"_s), Qt::LeftButton);
    });
    Click(u"btnAddOns_Remove"_s);
    QVERIFY(*offered);
}

QTEST_MAIN(TAddOnsPageTest)
#include "TAddOnsPageTest.moc"
