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

QTEST_MAIN(SmallDialogsTest)
#include "SmallDialogsTest.moc"
