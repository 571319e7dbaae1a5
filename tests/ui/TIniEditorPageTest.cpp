#include "TFileProtection.h"
#include "TIniEditorPage.h"
#include "TPageTest.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The INI editor page: the tree shows the file line by line, and every edit changes the bytes it
// means and no other.
class TIniEditorPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void treeShowsSectionsAndKeyLinesInFileOrder();
    void valueEditsChangeOnlyTheNodesLine();
    void sectionRenameOntoAnExistingSectionChangesNothing();
    void newSectionsAndKeys();
    void fixedItemsLoadFromTheSystemFolderWithoutRegardToCase();
    void alphasortIsForTheDisplayOnly();
    void failedWritesAreReportedAndChangeNothing();
    void realFilesLoadAndKeepTheirBytes();

private:
    // The page over the sample file (or none); the file's path.
    QString Open(const QByteArray& bytes = {}, const QString& name = u"Sample.ini"_s);
    QTreeWidget* Tree() const { return Find<QTreeWidget>(u"twINI_Content"_s); }
    // Selects the node Section, or its Index-th key node.
    QTreeWidgetItem* Select(int section, int index = -1) const;
    // The item of the popup as the user opens it.
    QAction* PopupItem(const QString& name) const
    {
        emit Find<QMenu>(u"IniEditorPopUp"_s)->aboutToShow();
        return Find<QAction>(name);
    }
    QComboBox* ValueBox() const { return Find<QComboBox>(u"cbINI_EditValue"_s); }
    void SaveValue(const QString& text) const
    {
        ValueBox()->setEditText(text);
        Click(u"btnINI_SaveValue"_s);
    }

    TIniEditorPage* FPage = nullptr;
};

namespace {

const QByteArray KSample = "; written by the test\r\n"
                           "[Engine.Engine]\r\n"
                           "RenderDevice=D3DDrv.D3DRenderDevice\r\n"
                           "Key=a=b\r\n"
                           ";Key=commented out\r\n"
                           "\r\n"
                           "[Empty]\r\n"
                           "\r\n"
                           "[Engine.GameEngine]\r\n"
                           "ServerPackages=Core\r\n"
                           "; between the packages\r\n"
                           "ServerPackages=Engine\r\n"
                           "ServerPackages=\"XGame\"\r\n"
                           "bUseSound=True\r\n";

const QStringList KSampleTree = {"Engine.Engine",
                                 "  RenderDevice=D3DDrv.D3DRenderDevice",
                                 "  Key=a=b",
                                 "Empty",
                                 "Engine.GameEngine",
                                 "  ServerPackages=Core",
                                 "  ServerPackages=Engine",
                                 "  ServerPackages=\"XGame\"",
                                 "  bUseSound=True"};

// The tree as lines: a section's name, then each key node's text indented by two blanks.
QStringList TreeLines(const QTreeWidget* tree)
{
    QStringList lines;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* section = tree->topLevelItem(i);
        lines << section->text(0);
        for (int k = 0; k < section->childCount(); ++k)
            lines << u"  "_s + section->child(k)->text(0);
    }
    return lines;
}

// Bytes with the first occurrence of From replaced by To.
QByteArray ReplacedOnce(QByteArray bytes, const QByteArray& from, const QByteArray& to)
{
    const qsizetype at = bytes.indexOf(from);
    if (at < 0)
        qFatal("no %s", from.constData());
    return bytes.replace(at, from.size(), to);
}

} // namespace

QString TIniEditorPageTest::Open(const QByteArray& bytes, const QString& name)
{
    const QString path =
        bytes.isEmpty() ? QString() : FFixture->Game().WriteFile(u"System/"_s + name, bytes);
    FPage = ShowPage<TIniEditorPage>(u"tbINIEditor"_s);
    if (!path.isEmpty())
        FPage->LoadIniFile(path);
    return path;
}

QTreeWidgetItem* TIniEditorPageTest::Select(int section, int index) const
{
    QTreeWidgetItem* node = Tree()->topLevelItem(section);
    if (index >= 0)
        node = node->child(index);
    Tree()->setCurrentItem(node);
    return node;
}

void TIniEditorPageTest::treeShowsSectionsAndKeyLinesInFileOrder()
{
    Open();
    const QString path = FFixture->Game().WriteFile(u"System/Sample.ini"_s, KSample);
    auto* sectionGroup = Find<QGroupBox>(u"gbINI_EditSection"_s);
    auto* valueGroup = Find<QGroupBox>(u"gbINI_EditValue"_s);
    auto* fileBox = Find<QComboBox>(u"cbINI_FileName"_s);

    // Another page hands the file over through the context.
    FContext->LoadIniFile(path);
    QCOMPARE(TreeLines(Tree()), KSampleTree);
    QCOMPARE(FPage->IniFileName(), path);
    QCOMPARE(fileBox->currentText(), path);
    QVERIFY(!sectionGroup->isEnabled() && !valueGroup->isEnabled());

    // A section node fills the section edit; a key node the value box too, with its quotes.
    Select(1);
    QVERIFY(sectionGroup->isEnabled() && !valueGroup->isEnabled());
    QCOMPARE(Find<QLineEdit>(u"lbeINI_Section_Name"_s)->text(), "Empty");
    Select(2, 2);
    QVERIFY(valueGroup->isEnabled());
    QCOMPARE(Find<QLineEdit>(u"lbeINI_Section_Name"_s)->text(), "Engine.GameEngine");
    QCOMPARE(ValueBox()->currentText(), u"\"XGame\""_s);

    // A missing file changes nothing; shown again, the page keeps the tree as it was left.
    fileBox->setEditText(path + u".missing"_s);
    Click(u"btnINI_OpenFile"_s);
    QCOMPARE(FPage->IniFileName(), path);
    FContext->ShowPage(u"tbINIEditor"_s);
    QCOMPARE(TreeLines(Tree()), KSampleTree);
    QCOMPARE(Tree()->currentItem()->text(0), u"ServerPackages=\"XGame\""_s);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TIniEditorPageTest::valueEditsChangeOnlyTheNodesLine()
{
    const QString path = Open(KSample);

    // "Key": the value after the first "=", and only that line is written.
    QTreeWidgetItem* key = Select(0, 1);
    QCOMPARE(ValueBox()->currentText(), u"a=b"_s);
    SaveValue(u"c=d"_s);
    QByteArray expected = ReplacedOnce(KSample, "Key=a=b\r\n", "Key=c=d\r\n");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(key->text(0), u"Key=c=d"_s);
    ValueBox()->setEditText(u"typed"_s);
    Click(u"btnINI_ResetValue"_s);
    QCOMPARE(ValueBox()->currentText(), u"c=d"_s);

    // The second "ServerPackages" node stands for the second line: read, saved and deleted.
    QTreeWidgetItem* second = Select(2, 1);
    QCOMPARE(ValueBox()->currentText(), u"Engine"_s);
    SaveValue(u"Engine2"_s);
    expected = ReplacedOnce(expected, "ServerPackages=Engine\r\n", "ServerPackages=Engine2\r\n");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(second->text(0), u"ServerPackages=Engine2"_s);
    // A quoted value saved as it shows keeps its bytes.
    Select(2, 2);
    Click(u"btnINI_SaveValue"_s);
    QCOMPARE(ReadBytes(path), expected);
    Select(2, 1);
    PopupItem(u"INI_DeleteValue"_s)->trigger();
    expected = ReplacedOnce(expected, "ServerPackages=Engine2\r\n", "");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(TreeLines(Tree()).mid(4),
             QStringList({"Engine.GameEngine", "  ServerPackages=Core",
                          "  ServerPackages=\"XGame\"", "  bUseSound=True"}));

    // Value operations on a section node do nothing.
    Select(2);
    SaveValue(u"x"_s);
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TIniEditorPageTest::sectionRenameOntoAnExistingSectionChangesNothing()
{
    const QString path = Open(KSample);
    auto* edit = Find<QLineEdit>(u"lbeINI_Section_Name"_s);
    const auto rename = [&](int section, const QString& name) {
        Select(section);
        edit->setText(name);
        Click(u"btnINI_SaveSection"_s);
        QCOMPARE(ReadBytes(path), KSample);
    };

    // Onto a section with keys, or a name no header can hold: the error, and the file stays.
    rename(0, u"engine.gameengine"_s);
    rename(0, u"x]y"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2);
    QCOMPARE(FDialogs->Calls().first().Text,
             FContext->GetLangText(TDialogType::INIEditor_CannotRenameSection));
    QCOMPARE(FDialogs->Calls().first().Caption, FContext->GetLangText(TDialogType::Common_Error));
    // Onto the key-less "[Empty]": the file stays too, without a message.
    rename(0, u"EMPTY"_s);
    QCOMPARE(FDialogs->Calls().size(), 2);
    Select(0, 1);
    Click(u"btnINI_ResetSection"_s);
    QCOMPARE(edit->text(), u"Engine.Engine"_s);

    // "Rename Section" leads to the edit; a free name replaces only the header line.
    edit->clear();
    PopupItem(u"INI_RenameSection"_s)->trigger();
    QCOMPARE(edit->text(), u"Engine.Engine"_s);
    QVERIFY(edit->hasFocus());
    edit->setText(u"Engine.Other"_s);
    Click(u"btnINI_SaveSection"_s);
    QCOMPARE(ReadBytes(path), ReplacedOnce(KSample, "[Engine.Engine]", "[Engine.Other]"));
    QCOMPARE(Tree()->topLevelItem(0)->text(0), u"Engine.Other"_s);
    QCOMPARE(FDialogs->Calls().size(), 2);
}

void TIniEditorPageTest::newSectionsAndKeys()
{
    const QString path = Open(KSample);
    const auto popup = [&](const QString& item, const QStringList& answers) {
        for (const QString& answer : answers) {
            FDialogs->AnswerInput(answer);
            PopupItem(item)->trigger();
        }
    };
    Select(1);

    // A new section gets "DefaultValue=" at the end; the tree waits for the next load.
    popup(u"INI_AddSection"_s, {u" Engine.New "_s});
    const QString prompt = FContext->GetLangText(TDialogType::INIEditor_CreateSectionPrompt);
    QCOMPARE(FDialogs->Calls().first().Text, prompt);
    QByteArray expected = KSample + "\r\n[Engine.New]\r\nDefaultValue=\r\n";
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(TreeLines(Tree()), KSampleTree);

    // Cancel, empty names and names the file cannot hold write nothing, nor does a section
    // with keys; the key-less section gets its "DefaultValue".
    FDialogs->Clear();
    popup(u"INI_AddSection"_s, {QString(), u" "_s, u"x]y"_s, u"engine.new"_s});
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2);
    popup(u"INI_AddSection"_s, {u"Empty"_s});
    expected = ReplacedOnce(expected, "[Empty]\r\n", "[Empty]\r\nDefaultValue=\r\n");
    QCOMPARE(ReadBytes(path), expected);

    // A key goes after the section's last line and the tree is read again; a name the section
    // holds already gets a line of its own.
    FDialogs->Clear();
    Select(2, 0);
    popup(u"INI_AddValue"_s, {u"a=b"_s, u";x"_s, u"ServerPackages"_s});
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2);
    expected =
        ReplacedOnce(expected, "bUseSound=True\r\n", "bUseSound=True\r\nServerPackages=\r\n");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(TreeLines(Tree()).mid(5, 6),
             QStringList({"Engine.GameEngine", "  ServerPackages=Core", "  ServerPackages=Engine",
                          "  ServerPackages=\"XGame\"", "  bUseSound=True", "  ServerPackages="}));
    // The new line is the fourth of its name: saving it leaves the first alone.
    Select(2, 4);
    SaveValue(u"UT2k4Assault"_s);
    expected.replace("ServerPackages=\r\n", "ServerPackages=UT2k4Assault\r\n");
    QCOMPARE(ReadBytes(path), expected);

    // Delete Section takes the section with its keys, without a question.
    Select(1, 0);
    FDialogs->Clear();
    PopupItem(u"INI_DeleteSection"_s)->trigger();
    expected = ReplacedOnce(expected, "[Empty]\r\nDefaultValue=\r\n\r\n", "");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(Tree()->topLevelItem(1)->text(0), u"Engine.GameEngine"_s);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TIniEditorPageTest::fixedItemsLoadFromTheSystemFolderWithoutRegardToCase()
{
    const TGameFolder& game = FFixture->Game();
    QVERIFY(QFile::rename(game.Path(u"System/User.ini"_s), game.Path(u"System/user.ini"_s)));
    Open();
    auto* fileBox = Find<QComboBox>(u"cbINI_FileName"_s);

    // Typed text is no choice from the list: it waits for Open, which takes it as it stands.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(game.Path(u"System"_s));
    fileBox->setFocus();
    fileBox->lineEdit()->selectAll();
    QTest::keyClicks(fileBox, u"user.INI"_s);
    QTest::keyClick(fileBox, Qt::Key_Return);
    Find<QWidget>(u"btnINI_OpenFile"_s)->setFocus();
    QCOMPARE(Tree()->topLevelItemCount(), 0);
    Click(u"btnINI_OpenFile"_s);
    QDir::setCurrent(cwd);
    QCOMPARE(Tree()->topLevelItemCount(), 0);
    QCOMPARE(FPage->IniFileName(), QString());

    // Chosen from the list: the System folder's file, found whatever its letter case.
    fileBox->setCurrentIndex(-1);
    fileBox->setFocus();
    QTest::keyClick(fileBox, Qt::Key_Down, Qt::AltModifier);
    QTRY_VERIFY(fileBox->view()->isVisible());
    QTest::qWait(1); // as a user takes a moment to choose
    fileBox->view()->setCurrentIndex(fileBox->model()->index(1, 0));
    QTest::keyClick(fileBox->view(), Qt::Key_Return);
    const QString resolved = game.Path(u"System/user.ini"_s);
    QCOMPARE(FPage->IniFileName(), resolved);
    QCOMPARE(fileBox->currentText(), resolved);
    QCOMPARE(Tree()->topLevelItem(0)->text(0), u"DefaultPlayer"_s);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TIniEditorPageTest::alphasortIsForTheDisplayOnly()
{
    const QByteArray unsorted =
        "[b]\r\nzeta=1\r\nAlpha=2\r\nbeta=3\r\n[A]\r\nY=1\r\nx=2\r\n[C]\r\n";
    const QString path = Open(unsorted, u"Sort.ini"_s);
    const QTreeWidgetItem* beta = Select(0, 2);
    PopupItem(u"INI_Sort"_s)->trigger();
    QCOMPARE(TreeLines(Tree()),
             QStringList({"A", "  x=2", "  Y=1", "b", "  Alpha=2", "  beta=3", "  zeta=1", "C"}));
    QCOMPARE(ReadBytes(path), unsorted);
    // The selected node stays selected, and still stands for its line.
    QCOMPARE(Tree()->currentItem(), beta);
    QVERIFY(beta->isSelected());
    SaveValue(u"4"_s);
    QCOMPARE(ReadBytes(path), ReplacedOnce(unsorted, "beta=3", "beta=4"));
    // The next load shows the file's order again.
    FPage->LoadIniFile(path);
    QCOMPARE(TreeLines(Tree()).mid(0, 2), QStringList({"b", "  zeta=1"}));
}

void TIniEditorPageTest::failedWritesAreReportedAndChangeNothing()
{
    const QString path = Open(KSample);
    const QTreeWidgetItem* key = Select(0, 1);
    ValueBox()->setEditText(u"changed"_s);
    QVERIFY(SetMode(path, 0444) && SetMode(QFileInfo(path).absolutePath(), 0555));
    {
        TFileProtection protection(FFixture->Root());
        Click(u"btnINI_SaveValue"_s);
        Select(2, 1);
        PopupItem(u"INI_DeleteValue"_s)->trigger();
    }
    QVERIFY(SetMode(QFileInfo(path).absolutePath(), 0755) && SetMode(path, 0644));

    const QList<TCall> errors = FDialogs->CallsOf(TKind::dkException);
    QCOMPARE(errors.size(), 2);
    for (const TCall& error : errors)
        QVERIFY2(error.Text.contains(QDir::toNativeSeparators(path)), qPrintable(error.Text));
    QCOMPARE(ReadBytes(path), KSample);
    QCOMPARE(key->text(0), u"Key=a=b"_s);
    QCOMPARE(TreeLines(Tree()), KSampleTree);
}

void TIniEditorPageTest::realFilesLoadAndKeepTheirBytes()
{
    if (RealDataDir().isEmpty())
        QSKIP("the real game files are not on this machine");
    Open();
    const QString copy = FFixture->Game().Path(u"System/Real.ini"_s);
    const auto load = [&](const QString& relative) {
        const QByteArray bytes = ReadBytes(RealDataDir() + u"/ini/"_s + relative);
        WriteBytes(copy, bytes);
        FPage->LoadIniFile(copy);
        return bytes;
    };
    // Saves the node's value with an "X" appended; the bytes expected: the "X" at the end of the
    // line that starts at LineAt, nothing else changed.
    const auto appendX = [&](QTreeWidgetItem* node, QByteArray bytes, qsizetype lineAt) {
        Tree()->setCurrentItem(node);
        SaveValue(ValueBox()->currentText() + u"X"_s);
        return bytes.insert(bytes.indexOf('\n', lineAt), 'X');
    };

    // The 717 KB profile: the 1,000th of its 1,747 "ServerCache" lines, and only that line.
    QByteArray original = load(u"dantrevino-ut2k4/System/User.ini"_s);
    const QList<QTreeWidgetItem*> cached =
        Tree()->findItems(u"ServerCache="_s, Qt::MatchStartsWith | Qt::MatchRecursive);
    QCOMPARE(cached.size(), 1747);
    qsizetype at = -1;
    for (int i = 0; i < 1000; ++i)
        at = original.indexOf("\nServerCache=", at + 1);
    QByteArray expected = appendX(cached.at(999), original, at + 1);
    QCOMPARE(ReadBytes(copy), expected);

    // A quoted value saved unedited keeps its bytes.
    original = load(u"dantrevino-ut2k4/User.ini"_s);
    Tree()->setCurrentItem(
        Tree()
            ->findItems(u"VoiceChatCodec=\"CODEC_48NB\""_s, Qt::MatchExactly | Qt::MatchRecursive)
            .value(0));
    QCOMPARE(ValueBox()->currentText(), u"\"CODEC_48NB\""_s);
    Click(u"btnINI_SaveValue"_s);
    QCOMPARE(ReadBytes(copy), original);

    // The server INI whose section names hold ESC bytes loads, and such a section's key saves.
    original = load(u"GrantSorenson-LumpysInvasionServer/System/UT2004.ini"_s);
    const QTreeWidgetItem* escaped =
        Tree()->findItems(u"Default\x1b"_s + u"DM MaplistRecord"_s, Qt::MatchExactly).value(0);
    QVERIFY(escaped && escaped->childCount() > 0);
    const qsizetype header = original.indexOf("[Default\x1b"
                                              "DM MaplistRecord]");
    expected = appendX(escaped->child(0), original, original.indexOf('\n', header) + 1);
    QCOMPARE(ReadBytes(copy), expected);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

QTEST_MAIN(TIniEditorPageTest)
#include "TIniEditorPageTest.moc"
