#include "TAddonDeletionProposal.h"
#include "TFileProtection.h"
#include "TKOVASettings.h"
#include "TPageTest.h"
#include "TServerPackage.h"
#include "TServerPackageEditor.h"
#include "TServerPackages.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The server-package editor and the add-on file selection, driven as a user drives them.
class SmallDialogsTest : public TPageTest
{
    Q_OBJECT

private slots:
    void serverPackageEditorSavesOnlyItsLines();
    void serverPackageEditorCancelAndCloseKeepTheFile();
    void serverPackageEditorStaysOpenWhenSaveFails();
    void addonSelectionListsEveryNameTicked();

private:
    void Prepare() override;
    // Opens File > Server Package Editor and runs Action on the editor, which must close it.
    void EditServerPackages(const std::function<void(QDialog* editor)>& action);
    static QTreeWidgetItem* Row(QDialog* editor, const QString& caption);
    static QStringList Rows(QDialog* editor);
    QByteArray GameIni() const { return FFixture->Game().ReadFile(u"System/UT2004.ini"_s); }
};

namespace {

const QByteArray KPackageLines = "ServerPackages=Core\r\n"
                                 "ServerPackages=Engine\r\n"
                                 ";ServerPackages=OldMutator\r\n"
                                 "ServerPackages=XGame\r\n";

} // namespace

void SmallDialogsTest::Prepare()
{
    ShowWindow();
}

void SmallDialogsTest::EditServerPackages(const std::function<void(QDialog* editor)>& action)
{
    const auto ran = WhenModal([&](QWidget* dialog) {
        auto* editor = qobject_cast<TServerPackageEditor*>(dialog);
        if (!editor) {
            dialog->close();
            return;
        }
        action(editor);
    });
    Find<QAction>(u"MenuServerPackageEditor"_s)->trigger();
    QVERIFY(*ran);
}

QTreeWidgetItem* SmallDialogsTest::Row(QDialog* editor, const QString& caption)
{
    const QList<QTreeWidgetItem*> rows =
        Child<QTreeWidget>(editor, u"lwItems"_s)->findItems(caption, Qt::MatchExactly);
    return rows.size() == 1 ? rows.first() : nullptr;
}

QStringList SmallDialogsTest::Rows(QDialog* editor)
{
    QStringList rows;
    auto* list = Child<QTreeWidget>(editor, u"lwItems"_s);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        rows << (row->checkState(0) == Qt::Checked ? u"+"_s : u"-"_s) + row->text(0);
    }
    return rows;
}

void SmallDialogsTest::serverPackageEditorSavesOnlyItsLines()
{
    const QByteArray original = GameIni();
    QVERIFY(original.contains(KPackageLines));
    const QString myMod = FFixture->Game().WriteFile(u"System/MyMod.u"_s, "package");

    EditServerPackages([&](QDialog* editor) {
        QCOMPARE(Rows(editor), QStringList({"+Core", "+Engine", "-OldMutator", "+XGame"}));
        auto* list = Child<QTreeWidget>(editor, u"lwItems"_s);
        const auto select = [&](const QString& caption) {
            QTreeWidgetItem* row = Row(editor, caption);
            QVERIFY2(row, qPrintable(caption));
            list->setCurrentItem(row);
        };
        const auto command = [&](const char* name) {
            Child<QAction>(editor, QString::fromLatin1(name))->trigger();
        };

        Row(editor, u"Core"_s)->setCheckState(0, Qt::Unchecked);
        select(u"Engine"_s);
        command("RemovePackageButton");
        // A rename keeps the line's own state.
        select(u"OldMutator"_s);
        FDialogs->AnswerInput(u"Other.u"_s);
        command("RenameButton");
        select(u"XGame"_s);
        FDialogs->AnswerInput(u"Renamed.u"_s);
        command("RenameButton");
        // Names that would name no package change nothing; neither does a cancelled prompt.
        select(u"Renamed"_s);
        for (const QString& empty : {u"   "_s, u".u"_s, QString()}) {
            FDialogs->AnswerInput(empty);
            command("RenameButton");
        }
        FDialogs->AnswerOpen({myMod});
        command("AddPackageButton");
        QCOMPARE(Rows(editor), QStringList({"-Core", "-Other", "+Renamed", "+MyMod.u"}));
        QStringList lines;
        for (int i = 0; i < FWindow->ServerPackages()->GetCount(); ++i)
            lines << FWindow->ServerPackages()->GetItem(i)->Line;
        QCOMPARE(lines, QStringList({"ServerPackages=Core", ";ServerPackages=Other",
                                     "ServerPackages=Renamed", "ServerPackages=MyMod"}));
        QTest::mouseClick(Child<QPushButton>(editor, u"btnSave"_s), Qt::LeftButton);
    });

    QByteArray expected = original;
    expected.replace(KPackageLines, ";ServerPackages=Core\r\n"
                                    ";ServerPackages=Other\r\n"
                                    "ServerPackages=Renamed\r\n"
                                    "ServerPackages=MyMod\r\n");
    QCOMPARE(GameIni(), expected);
    const QList<TCall> prompts = FDialogs->CallsOf(TKind::dkInput);
    QCOMPARE(prompts.size(), 5);
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 0);
}

void SmallDialogsTest::serverPackageEditorCancelAndCloseKeepTheFile()
{
    const QByteArray original = GameIni();
    const QStringList asInTheFile = {"+Core", "+Engine", "-OldMutator", "+XGame"};
    const auto change = [this](QDialog* editor) {
        Row(editor, u"Core"_s)->setCheckState(0, Qt::Unchecked);
        Child<QTreeWidget>(editor, u"lwItems"_s)->setCurrentItem(Row(editor, u"XGame"_s));
        Child<QAction>(editor, u"RemovePackageButton"_s)->trigger();
        FDialogs->AnswerOpen({FFixture->Game().Path(u"System/MyMod.u"_s)});
        Child<QAction>(editor, u"AddPackageButton"_s)->trigger();
        QCOMPARE(Rows(editor).size(), 4);
    };

    EditServerPackages([&](QDialog* editor) {
        change(editor);
        QTest::mouseClick(Child<QPushButton>(editor, u"btnCancel"_s), Qt::LeftButton);
    });
    QCOMPARE(GameIni(), original);
    QCOMPARE(FWindow->ServerPackages()->GetCount(), 4);

    // Closing the window saves nothing; the next opening shows the file again.
    EditServerPackages([&](QDialog* editor) {
        change(editor);
        QTest::keyClick(editor, Qt::Key_Escape);
    });
    QCOMPARE(GameIni(), original);
    EditServerPackages([&](QDialog* editor) {
        QCOMPARE(Rows(editor), asInTheFile);
        editor->close();
    });
    QCOMPARE(GameIni(), original);
}

void SmallDialogsTest::serverPackageEditorStaysOpenWhenSaveFails()
{
    const QByteArray original = GameIni();
    const QString system = FFixture->Game().Path(u"System"_s);
    const QString ini = system + u"/UT2004.ini"_s;
    EditServerPackages([&](QDialog* editor) {
        Row(editor, u"Core"_s)->setCheckState(0, Qt::Unchecked);
        QVERIFY(SetMode(system, 0555) && SetMode(ini, 0444));
        {
            TFileProtection protection(FFixture->Root());
            QTest::mouseClick(Child<QPushButton>(editor, u"btnSave"_s), Qt::LeftButton);
        }
        QVERIFY(SetMode(system, 0755) && SetMode(ini, 0644));
        QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
        QVERIFY(editor->isVisible());
        QCOMPARE(GameIni(), original);
        // The changes are still there to be saved once the file can be written.
        QTest::mouseClick(Child<QPushButton>(editor, u"btnSave"_s), Qt::LeftButton);
        QVERIFY(!editor->isVisible());
    });
    QCOMPARE(GameIni(), QByteArray(original).replace("\r\nServerPackages=Core\r\n",
                                                     "\r\n;ServerPackages=Core\r\n"));
}

void SmallDialogsTest::addonSelectionListsEveryNameTicked()
{
    const QString system = FFixture->Game().Path(u"System"_s);
    for (const char* name :
         {"Foo.u", "Foo.ucl", "Foo.int", "FooBar.u", "Bar.u", "Bar.int", "Other.u"})
        FFixture->Game().WriteFile(u"System/"_s + QLatin1String(name), "x");
    TAddonDeletionProposal* selection = &FWindow->AddonDeletionProposal();
    auto* files = Child<QListWidget>(selection, u"clbFiles"_s);
    const auto rows = [files] {
        QStringList rows;
        for (int i = 0; i < files->count(); ++i)
            rows << (files->item(i)->checkState() == Qt::Checked ? u"+"_s : u"-"_s) +
                        files->item(i)->text();
        return rows;
    };

    const auto deleting = WhenModal([&](QWidget* dialog) {
        QCOMPARE(dialog, static_cast<QWidget*>(selection));
        QCOMPARE(rows(), QStringList({"+Foo.int", "+Foo.u", "+Foo.ucl", "+Bar.int", "+Bar.u"}));
        QCOMPARE(dialog->windowTitle(),
                 FWindow->GetLangText(TDialogType::Common_AddonDeletionProposal_Delete));
        QVERIFY(Child<QLabel>(dialog, u"lbDeleteHint"_s)->isVisible());
        QVERIFY(!Child<QLabel>(dialog, u"lbInstallHint"_s)->isVisible());
        files->item(0)->setCheckState(Qt::Unchecked);
        files->item(3)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(Child<QPushButton>(dialog, u"btnSelectAll"_s), Qt::LeftButton);
        QCOMPARE(rows(), QStringList({"+Foo.int", "+Foo.u", "+Foo.ucl", "+Bar.int", "+Bar.u"}));
        files->item(4)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(Child<QPushButton>(dialog, u"btnContinue"_s), Qt::LeftButton);
    });
    QCOMPARE(selection->Execute(system, {u"Foo"_s, u"Bar"_s}, true), int(QDialog::Accepted));
    QVERIFY(*deleting);
    QCOMPARE(selection->CheckedFiles(), QStringList({"Foo.int", "Foo.u", "Foo.ucl", "Bar.int"}));

    const auto installing = WhenModal([&](QWidget* dialog) {
        QCOMPARE(rows(), QStringList({"+Bar.int", "+Bar.u"}));
        QCOMPARE(dialog->windowTitle(),
                 FWindow->GetLangText(TDialogType::Common_AddonDeletionProposal_Install));
        QVERIFY(Child<QLabel>(dialog, u"lbInstallHint"_s)->isVisible());
        QVERIFY(!Child<QLabel>(dialog, u"lbDeleteHint"_s)->isVisible());
        QTest::mouseClick(Child<QPushButton>(dialog, u"btnCancel"_s), Qt::LeftButton);
    });
    QCOMPARE(selection->ExecuteForAddon(system, u"Bar"_s, false), int(QDialog::Rejected));
    QVERIFY(*installing);

    // An add-on without files hands the caller nothing.
    const auto none = WhenModal([&](QWidget* dialog) {
        QCOMPARE(files->count(), 0);
        QTest::mouseClick(Child<QPushButton>(dialog, u"btnContinue"_s), Qt::LeftButton);
    });
    selection->ExecuteForAddon(system, u"Missing"_s, true);
    QVERIFY(*none);
    QVERIFY(selection->CheckedFiles().isEmpty());
}

QTEST_MAIN(SmallDialogsTest)
#include "SmallDialogsTest.moc"
