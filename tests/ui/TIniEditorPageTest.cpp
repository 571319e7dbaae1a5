#include "TFileProtection.h"
#include "TIniEditorPage.h"
#include "TKOVASettings.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using TKind = TScriptedDialogs::TKind;

// The INI editor page over the page context's double: the tree shows the file line by line, and
// every edit changes the bytes it means and no other.
class TIniEditorPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void treeShowsSectionsAndKeyLinesInFileOrder();
    void valueEditsChangeOnlyTheNodesLine();
    void sectionRenameOntoAnExistingSectionChangesNothing();
    void newSectionsAndKeys();
    void fixedItemsLoadFromTheSystemFolderWithoutRegardToCase();
    void alphasortIsForTheDisplayOnly();
    void failedWritesAreReportedAndChangeNothing();
    void realFilesLoadAndKeepTheirBytes();

private:
    void ShowPage();
    template <class T> T* Find(const QString& name) const
    {
        return Child<T>(FContext->Host(), name);
    }
    void Click(const QString& button) const
    {
        QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    }
    QTreeWidget* Tree() const { return Find<QTreeWidget>(QStringLiteral("twINI_Content")); }
    // Selects the node Section, or its Index-th key node.
    QTreeWidgetItem* Select(int section, int index = -1) const;
    // The popup as the user opens it; its item of that name.
    QAction* PopupItem(const QString& name) const;
    QString ValueBox() const
    {
        return Find<QComboBox>(QStringLiteral("cbINI_EditValue"))->currentText();
    }
    void SetValueBox(const QString& text) const
    {
        Find<QComboBox>(QStringLiteral("cbINI_EditValue"))->setEditText(text);
    }

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
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

// The tree as lines: a section's name, then each key node's text indented by two blanks.
QStringList TreeLines(const QTreeWidget* tree)
{
    QStringList lines;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* section = tree->topLevelItem(i);
        lines << section->text(0);
        for (int k = 0; k < section->childCount(); ++k)
            lines << QStringLiteral("  ") + section->child(k)->text(0);
    }
    return lines;
}

const QStringList KSampleTree = {"Engine.Engine",
                                 "  RenderDevice=D3DDrv.D3DRenderDevice",
                                 "  Key=a=b",
                                 "Empty",
                                 "Engine.GameEngine",
                                 "  ServerPackages=Core",
                                 "  ServerPackages=Engine",
                                 "  ServerPackages=\"XGame\"",
                                 "  bUseSound=True"};

// Bytes with the first occurrence of From replaced by To.
QByteArray ReplacedOnce(QByteArray bytes, const QByteArray& from, const QByteArray& to)
{
    const qsizetype at = bytes.indexOf(from);
    if (at < 0)
        qFatal("no %s", from.constData());
    return bytes.replace(at, from.size(), to);
}

// A copy of a real file beside the fixture, writable.
QString CopyRealFile(const TGameFolder& game, const QString& relative, const QString& name)
{
    const QString copy = game.Path(QStringLiteral("System/") + name);
    QFile::remove(copy);
    if (!QFile::copy(RealDataDir() + QStringLiteral("/ini/") + relative, copy))
        qFatal("cannot copy %s", qPrintable(relative));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    return copy;
}

} // namespace

void TIniEditorPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
}

void TIniEditorPageTest::cleanup()
{
    FContext.reset();
    FDialogs.reset();
    FFixture.reset();
}

void TIniEditorPageTest::ShowPage()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    FPage = FContext->Create<TIniEditorPage>(QStringLiteral("tbINIEditor"));
}

QTreeWidgetItem* TIniEditorPageTest::Select(int section, int index) const
{
    QTreeWidgetItem* node = Tree()->topLevelItem(section);
    if (index >= 0)
        node = node->child(index);
    Tree()->setCurrentItem(node);
    return node;
}

QAction* TIniEditorPageTest::PopupItem(const QString& name) const
{
    auto* popup = Find<QMenu>(QStringLiteral("IniEditorPopUp"));
    emit popup->aboutToShow();
    return Find<QAction>(name);
}

void TIniEditorPageTest::treeShowsSectionsAndKeyLinesInFileOrder()
{
    const QString path = FFixture->Game().WriteFile(QStringLiteral("System/Sample.ini"), KSample);
    ShowPage();
    auto* sectionGroup = Find<QGroupBox>(QStringLiteral("gbINI_EditSection"));
    auto* valueGroup = Find<QGroupBox>(QStringLiteral("gbINI_EditValue"));
    auto* fileBox = Find<QComboBox>(QStringLiteral("cbINI_FileName"));
    QVERIFY(!sectionGroup->isEnabled());
    QCOMPARE(fileBox->count(), 9);
    QCOMPARE(fileBox->itemText(2), QStringLiteral("Manifest.ini"));

    // An empty tree offers neither adding nor sorting.
    QVERIFY(!PopupItem(QStringLiteral("INI_AddSection"))->isEnabled());
    QVERIFY(!PopupItem(QStringLiteral("INI_Sort"))->isEnabled());

    // Another page hands the file over through the context.
    FContext->LoadIniFile(path);
    QCOMPARE(TreeLines(Tree()), KSampleTree);
    QCOMPARE(FPage->IniFileName(), path);
    QCOMPARE(fileBox->currentText(), path);
    QVERIFY(!sectionGroup->isEnabled() && !valueGroup->isEnabled());

    // A section node fills the section edit; a key node the value box too, read from the file
    // with its quotes.
    Select(1);
    QVERIFY(sectionGroup->isEnabled() && !valueGroup->isEnabled());
    QCOMPARE(Find<QLineEdit>(QStringLiteral("lbeINI_Section_Name"))->text(), "Empty");
    Select(2, 2);
    QVERIFY(sectionGroup->isEnabled() && valueGroup->isEnabled());
    QCOMPARE(Find<QLineEdit>(QStringLiteral("lbeINI_Section_Name"))->text(), "Engine.GameEngine");
    QCOMPARE(ValueBox(), QStringLiteral("\"XGame\""));
    QVERIFY(PopupItem(QStringLiteral("INI_DeleteValue"))->isEnabled());

    // A missing file changes nothing: the tree, the file name and the boxes stay.
    fileBox->setEditText(path + QStringLiteral(".missing"));
    Click(QStringLiteral("btnINI_OpenFile"));
    QCOMPARE(TreeLines(Tree()), KSampleTree);
    QCOMPARE(FPage->IniFileName(), path);
    QCOMPARE(fileBox->currentText(), path + QStringLiteral(".missing"));
    QVERIFY(valueGroup->isEnabled());

    // Shown again, the page keeps the tree as it was left.
    FContext->ShowPage(QStringLiteral("tbINIEditor"));
    QCOMPARE(TreeLines(Tree()), KSampleTree);
    QCOMPARE(Tree()->currentItem()->text(0), QStringLiteral("ServerPackages=\"XGame\""));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TIniEditorPageTest::valueEditsChangeOnlyTheNodesLine()
{
    const QString path = FFixture->Game().WriteFile(QStringLiteral("System/Sample.ini"), KSample);
    ShowPage();
    FPage->LoadIniFile(path);

    // "Key": the value after the first "=", and only that line is written.
    QTreeWidgetItem* key = Select(0, 1);
    QCOMPARE(ValueBox(), QStringLiteral("a=b"));
    SetValueBox(QStringLiteral("c=d"));
    Click(QStringLiteral("btnINI_SaveValue"));
    QByteArray expected = ReplacedOnce(KSample, "Key=a=b\r\n", "Key=c=d\r\n");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(key->text(0), QStringLiteral("Key=c=d"));
    SetValueBox(QStringLiteral("typed"));
    Click(QStringLiteral("btnINI_ResetValue"));
    QCOMPARE(ValueBox(), QStringLiteral("c=d"));

    // The second "ServerPackages" node stands for the second line: read, saved and deleted.
    QTreeWidgetItem* second = Select(2, 1);
    QCOMPARE(ValueBox(), QStringLiteral("Engine"));
    SetValueBox(QStringLiteral("Engine2"));
    Click(QStringLiteral("btnINI_SaveValue"));
    expected = ReplacedOnce(expected, "ServerPackages=Engine\r\n", "ServerPackages=Engine2\r\n");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(second->text(0), QStringLiteral("ServerPackages=Engine2"));

    // A quoted value saved as it shows keeps its bytes.
    Select(2, 2);
    Click(QStringLiteral("btnINI_SaveValue"));
    QCOMPARE(ReadBytes(path), expected);

    Select(2, 1);
    PopupItem(QStringLiteral("INI_DeleteValue"))->trigger();
    expected = ReplacedOnce(expected, "ServerPackages=Engine2\r\n", "");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(TreeLines(Tree()).mid(4, 4),
             QStringList({"Engine.GameEngine", "  ServerPackages=Core",
                          "  ServerPackages=\"XGame\"", "  bUseSound=True"}));

    // Value operations on a section node do nothing.
    Select(2);
    SetValueBox(QStringLiteral("x"));
    Click(QStringLiteral("btnINI_SaveValue"));
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TIniEditorPageTest::sectionRenameOntoAnExistingSectionChangesNothing()
{
    const QString path = FFixture->Game().WriteFile(QStringLiteral("System/Sample.ini"), KSample);
    ShowPage();
    FPage->LoadIniFile(path);
    auto* edit = Find<QLineEdit>(QStringLiteral("lbeINI_Section_Name"));

    // Onto a section with keys (its own name too): the message, and the file stays.
    for (const QString& name :
         {QStringLiteral("engine.gameengine"), QStringLiteral("Engine.Engine")}) {
        Select(0, 0);
        edit->setText(name);
        Click(QStringLiteral("btnINI_SaveSection"));
        QCOMPARE(ReadBytes(path), KSample);
    }
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2);
    const TScriptedDialogs::TCall refused = FDialogs->Calls().first();
    QCOMPARE(refused.Caption, FContext->GetLangText(TDialogType::Common_Error));
    QCOMPARE(refused.Text, FContext->GetLangText(TDialogType::INIEditor_CannotRenameSection));
    QCOMPARE(refused.Type, TMsgDlgType::mtError);

    // Onto the key-less "[Empty]": no message, and the file keeps its bytes.
    FDialogs->Clear();
    Select(0);
    edit->setText(QStringLiteral("EMPTY"));
    Click(QStringLiteral("btnINI_SaveSection"));
    QCOMPARE(ReadBytes(path), KSample);
    QCOMPARE(FDialogs->Calls().size(), 0);

    // A name no header can hold: the error box, nothing written. Reset puts the name back.
    Select(0);
    edit->setText(QStringLiteral("x]y"));
    Click(QStringLiteral("btnINI_SaveSection"));
    QCOMPARE(ReadBytes(path), KSample);
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text,
             FContext->GetLangText(TDialogType::INIEditor_CreateSectionFailed));
    Select(0, 1);
    Click(QStringLiteral("btnINI_ResetSection"));
    QCOMPARE(edit->text(), QStringLiteral("Engine.Engine"));

    // "Rename Section" leads to the edit; a free name replaces only the header line.
    edit->clear();
    PopupItem(QStringLiteral("INI_RenameSection"))->trigger();
    QCOMPARE(edit->text(), QStringLiteral("Engine.Engine"));
    QVERIFY(edit->hasFocus());
    edit->setText(QStringLiteral("Engine.Other"));
    Click(QStringLiteral("btnINI_SaveSection"));
    QCOMPARE(ReadBytes(path), ReplacedOnce(KSample, "[Engine.Engine]", "[Engine.Other]"));
    QCOMPARE(Tree()->topLevelItem(0)->text(0), QStringLiteral("Engine.Other"));
    QCOMPARE(FDialogs->Calls().size(), 1);
}

void TIniEditorPageTest::newSectionsAndKeys()
{
    const QString path = FFixture->Game().WriteFile(QStringLiteral("System/Sample.ini"), KSample);
    ShowPage();
    FPage->LoadIniFile(path);
    const QString sectionPrompt = FContext->GetLangText(TDialogType::INIEditor_CreateSectionPrompt);
    Select(1);

    // A new section gets "DefaultValue=" at the end; the tree waits for the next load.
    FDialogs->AnswerInput(QStringLiteral(" Engine.New "));
    PopupItem(QStringLiteral("INI_AddSection"))->trigger();
    QCOMPARE(FDialogs->Calls().first().Caption, sectionPrompt);
    QCOMPARE(FDialogs->Calls().first().Text, sectionPrompt);
    QByteArray expected = KSample + "\r\n[Engine.New]\r\nDefaultValue=\r\n";
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(TreeLines(Tree()), KSampleTree);

    // Names that are empty or that the file cannot hold write nothing; the key-less section
    // gets its "DefaultValue"; a section with keys is refused.
    FDialogs->Clear();
    FDialogs->AnswerInput(QString());           // Cancel
    FDialogs->AnswerInput(QStringLiteral(" ")); // empty: like Cancel
    FDialogs->AnswerInput(QStringLiteral("x]y"));
    FDialogs->AnswerInput(QStringLiteral("engine.new"));
    for (int i = 0; i < 4; ++i)
        PopupItem(QStringLiteral("INI_AddSection"))->trigger();
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).at(0).Text,
             FContext->GetLangText(TDialogType::INIEditor_CreateSectionFailed));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).at(1).Text,
             FContext->GetLangText(TDialogType::INIEditor_CannotRenameSection));
    FDialogs->AnswerInput(QStringLiteral("Empty"));
    PopupItem(QStringLiteral("INI_AddSection"))->trigger();
    expected = ReplacedOnce(expected, "[Empty]\r\n", "[Empty]\r\nDefaultValue=\r\n");
    QCOMPARE(ReadBytes(path), expected);

    // A key: added after the section's last line, and the tree is read again. A name the
    // section holds already gets a line of its own: the others keep their values.
    FDialogs->Clear();
    Select(2, 0);
    FDialogs->AnswerInput(QStringLiteral("a=b"));
    FDialogs->AnswerInput(QStringLiteral(";x"));
    FDialogs->AnswerInput(QStringLiteral("ServerPackages"));
    for (int i = 0; i < 3; ++i)
        PopupItem(QStringLiteral("INI_AddValue"))->trigger();
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 2);
    expected =
        ReplacedOnce(expected, "bUseSound=True\r\n", "bUseSound=True\r\nServerPackages=\r\n");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(TreeLines(Tree()).mid(5, 6),
             QStringList({"Engine.GameEngine", "  ServerPackages=Core", "  ServerPackages=Engine",
                          "  ServerPackages=\"XGame\"", "  bUseSound=True", "  ServerPackages="}));

    // The new line is the fourth of its name: saving it leaves the first alone.
    Select(2, 4);
    SetValueBox(QStringLiteral("UT2k4Assault"));
    Click(QStringLiteral("btnINI_SaveValue"));
    expected.replace("ServerPackages=\r\n", "ServerPackages=UT2k4Assault\r\n");
    QCOMPARE(ReadBytes(path), expected);

    // Delete Section takes the section with its keys, without a question.
    Select(1, 0);
    FDialogs->Clear();
    PopupItem(QStringLiteral("INI_DeleteSection"))->trigger();
    expected = ReplacedOnce(expected, "[Empty]\r\nDefaultValue=\r\n\r\n", "");
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(Tree()->topLevelItem(1)->text(0), QStringLiteral("Engine.GameEngine"));
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TIniEditorPageTest::fixedItemsLoadFromTheSystemFolderWithoutRegardToCase()
{
    const TGameFolder& game = FFixture->Game();
    QVERIFY(QFile::rename(game.Path(QStringLiteral("System/User.ini")),
                          game.Path(QStringLiteral("System/user.ini"))));
    ShowPage();
    auto* fileBox = Find<QComboBox>(QStringLiteral("cbINI_FileName"));

    // Typed text is no choice from the list: it waits for Open, which takes it as it stands.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(game.Path(QStringLiteral("System")));
    fileBox->setFocus();
    fileBox->lineEdit()->selectAll();
    QTest::keyClicks(fileBox, QStringLiteral("user.INI"));
    QTest::keyClick(fileBox, Qt::Key_Return);
    Find<QPushButton>(QStringLiteral("btnINI_OpenFile"))->setFocus();
    QCOMPARE(Tree()->topLevelItemCount(), 0);
    QCOMPARE(fileBox->currentText(), QStringLiteral("user.INI"));
    Click(QStringLiteral("btnINI_OpenFile"));
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
    const QString resolved = game.Path(QStringLiteral("System/user.ini"));
    QCOMPARE(FPage->IniFileName(), resolved);
    QCOMPARE(fileBox->currentText(), resolved);
    QCOMPARE(Tree()->topLevelItem(0)->text(0), QStringLiteral("DefaultPlayer"));
    QCOMPARE(fileBox->count(), 9);

    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TIniEditorPageTest::alphasortIsForTheDisplayOnly()
{
    const QByteArray unsorted =
        "[b]\r\nzeta=1\r\nAlpha=2\r\nbeta=3\r\n[A]\r\nY=1\r\nx=2\r\n[C]\r\n";
    const QString path = FFixture->Game().WriteFile(QStringLiteral("System/Sort.ini"), unsorted);
    ShowPage();
    FPage->LoadIniFile(path);
    const QTreeWidgetItem* beta = Select(0, 2);

    QAction* sort = PopupItem(QStringLiteral("INI_Sort"));
    QVERIFY(sort->isEnabled());
    sort->trigger();
    const QStringList sorted = {"A",         "  x=2",    "  Y=1",    "b",
                                "  Alpha=2", "  beta=3", "  zeta=1", "C"};
    QCOMPARE(TreeLines(Tree()), sorted);
    QCOMPARE(ReadBytes(path), unsorted);
    // The selected node stays selected, and still stands for its line.
    QCOMPARE(Tree()->currentItem(), beta);
    QVERIFY(beta->isSelected());
    SetValueBox(QStringLiteral("4"));
    Click(QStringLiteral("btnINI_SaveValue"));
    QCOMPARE(ReadBytes(path), ReplacedOnce(unsorted, "beta=3", "beta=4"));

    FPage->LoadIniFile(path);
    QCOMPARE(TreeLines(Tree()).first(), QStringLiteral("b"));
    QCOMPARE(TreeLines(Tree()).at(1), QStringLiteral("  zeta=1"));

    // One node is not sorted.
    WriteBytes(path, "[Only]\r\n");
    FPage->LoadIniFile(path);
    QVERIFY(!PopupItem(QStringLiteral("INI_Sort"))->isEnabled());
}

void TIniEditorPageTest::failedWritesAreReportedAndChangeNothing()
{
    const QString path = FFixture->Game().WriteFile(QStringLiteral("System/Sample.ini"), KSample);
    ShowPage();
    FPage->LoadIniFile(path);
    const QTreeWidgetItem* key = Select(0, 1);
    SetValueBox(QStringLiteral("changed"));
    QVERIFY(SetMode(path, 0444) && SetMode(QFileInfo(path).absolutePath(), 0555));
    {
        TFileProtection protection(FFixture->Root());
        Click(QStringLiteral("btnINI_SaveValue"));
        Select(2, 1);
        PopupItem(QStringLiteral("INI_DeleteValue"))->trigger();
    }
    QVERIFY(SetMode(QFileInfo(path).absolutePath(), 0755) && SetMode(path, 0644));

    const QList<TScriptedDialogs::TCall> errors = FDialogs->CallsOf(TKind::dkException);
    QCOMPARE(errors.size(), 2);
    for (const TScriptedDialogs::TCall& error : errors)
        QVERIFY2(error.Text.contains(QDir::toNativeSeparators(path)), qPrintable(error.Text));
    QCOMPARE(ReadBytes(path), KSample);
    QCOMPARE(key->text(0), QStringLiteral("Key=a=b"));
    QCOMPARE(TreeLines(Tree()), KSampleTree);
}

void TIniEditorPageTest::realFilesLoadAndKeepTheirBytes()
{
    if (RealDataDir().isEmpty())
        QSKIP("the real game files are not on this machine");
    const TGameFolder& game = FFixture->Game();
    ShowPage();

    // The 717 KB profile: its 1,000th "ServerCache" line is saved, and only it changes.
    const QString user =
        CopyRealFile(game, QStringLiteral("dantrevino-ut2k4/System/User.ini"), "Big.ini");
    const QByteArray original = ReadBytes(user);
    FPage->LoadIniFile(user);
    const QList<QTreeWidgetItem*> browser =
        Tree()->findItems(QStringLiteral("GUI2K4.UT2k4ServerBrowser"), Qt::MatchExactly);
    QCOMPARE(browser.size(), 1);
    QList<QTreeWidgetItem*> cached;
    for (int i = 0; i < browser.first()->childCount(); ++i) {
        if (browser.first()->child(i)->text(0).startsWith(QLatin1String("ServerCache=")))
            cached << browser.first()->child(i);
    }
    QCOMPARE(cached.size(), 1747);
    const QTreeWidgetItem* node = cached.at(999);
    Tree()->setCurrentItem(cached.at(999));
    const QString value = ValueBox();
    QCOMPARE(QStringLiteral("ServerCache=") + value, node->text(0));
    // The line as the file holds it: after the 999 "ServerCache=" lines before it.
    qsizetype at = -1;
    for (int i = 0; i < 1000; ++i)
        at = original.indexOf("\nServerCache=", at + 1);
    const qsizetype end = original.indexOf('\n', at + 1);
    SetValueBox(value + QStringLiteral("X"));
    Click(QStringLiteral("btnINI_SaveValue"));
    QByteArray expected = original;
    expected.insert(end, 'X');
    QCOMPARE(ReadBytes(user), expected);

    // A quoted value saved unedited keeps its bytes.
    const QString small =
        CopyRealFile(game, QStringLiteral("dantrevino-ut2k4/User.ini"), "Small.ini");
    const QByteArray smallBytes = ReadBytes(small);
    FPage->LoadIniFile(small);
    const QList<QTreeWidgetItem*> codec = Tree()->findItems(
        QStringLiteral("VoiceChatCodec=\"CODEC_48NB\""), Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(codec.size(), 1);
    Tree()->setCurrentItem(codec.first());
    QCOMPARE(ValueBox(), QStringLiteral("\"CODEC_48NB\""));
    Click(QStringLiteral("btnINI_SaveValue"));
    QCOMPARE(ReadBytes(small), smallBytes);

    // The server INI whose section names hold ESC bytes loads, and a key of such a section
    // saves.
    const QString server = CopyRealFile(
        game, QStringLiteral("GrantSorenson-LumpysInvasionServer/System/UT2004.ini"), "Srv.ini");
    const QByteArray serverBytes = ReadBytes(server);
    FPage->LoadIniFile(server);
    const QList<QTreeWidgetItem*> escaped = Tree()->findItems(
        QStringLiteral("Default\x1b") + QStringLiteral("DM MaplistRecord"), Qt::MatchExactly);
    QCOMPARE(escaped.size(), 1);
    QVERIFY(escaped.first()->childCount() > 0);
    Tree()->setCurrentItem(escaped.first()->child(0));
    const QString key = escaped.first()->child(0)->text(0).section(u'=', 0, 0);
    const QByteArray line = key.toLatin1() + '=' + ValueBox().toLatin1();
    SetValueBox(ValueBox() + QStringLiteral("Z"));
    Click(QStringLiteral("btnINI_SaveValue"));
    const qsizetype header = serverBytes.indexOf("[Default\x1b"
                                                 "DM MaplistRecord]");
    QVERIFY(header >= 0);
    expected = serverBytes;
    expected.insert(expected.indexOf(line, header) + line.size(), 'Z');
    QCOMPARE(ReadBytes(server), expected);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

QTEST_MAIN(TIniEditorPageTest)
#include "TIniEditorPageTest.moc"
