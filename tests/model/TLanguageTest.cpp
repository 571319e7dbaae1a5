#include "TFakeLanguageForm.h"
#include "TKOVALanguage.h"
#include "TLanguage.h"
#include "TemplateFormat.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

TLanguageForms MakeForms(std::initializer_list<ILanguageForm*> forms)
{
    return std::make_shared<QList<ILanguageForm*>>(forms);
}

class LanguageTest : public ::testing::Test
{
protected:
    // Language files are Windows-1252 with CR LF line endings.
    QString Write(const QString& name, const QStringList& lines) const
    {
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += line.toLatin1() + "\r\n";
        EXPECT_TRUE(WriteBytes(FilePath(name), bytes));
        return FilePath(name);
    }
    QString FilePath(const QString& name) const { return QDir(FDir.path()).filePath(name); }
    QTemporaryDir FDir;
};

TEST_F(LanguageTest, CheckTellsADamagedFileFromAnIncompleteOne)
{
    // Usable: a translation that lacks messages (they show empty), and one in UTF-16.
    const QStringList incomplete = {"[Language]", "Language=Fran\u00e7ais", "[Dialogs]",
                                    "Common_Yes=Oui"};
    EXPECT_TRUE(TLanguage(nullptr, Write("Lang.fr", incomplete), false).Check());
    const QString utf16Text = u"\uFEFF"_s + incomplete.join(u"\r\n"_s);
    ASSERT_TRUE(WriteBytes(
        FilePath("Lang.utf"),
        QByteArray(reinterpret_cast<const char*>(utf16Text.utf16()), utf16Text.size() * 2)));
    EXPECT_TRUE(TLanguage(nullptr, FilePath("Lang.utf"), false).Check());

    // Damaged: each says which file and what is wrong with it.
    const struct
    {
        QByteArray Bytes;
        const char* Reason;
    } damaged[] = {
        {"\r\n  \r\n", "it is empty"},
        {QByteArray("\x7f"
                    "ELF\x02\x01\x01\0\0\0[Language]\r\nLanguage=x\r\n",
                    30),
         "it is not a text file"},
        {"[Language]\r\nLangu", "it names no language"},
        {"[Language]\r\nLanguage=English\r\nAuthor=The", "it holds no messages"},
    };
    const QString path = FilePath("Lang.bad");
    for (const auto& file : damaged) {
        ASSERT_TRUE(WriteBytes(path, file.Bytes));
        const TResult<void> checked = TLanguage(nullptr, path, false).Check();
        ASSERT_FALSE(checked) << file.Reason;
        EXPECT_TRUE(
            checked.Error().Message.startsWith(u"The language file \"%1\" cannot be used: %2"_s.arg(
                path, QString::fromLatin1(file.Reason))))
            << checked.Error().Message.toStdString();
    }
}

TEST_F(LanguageTest, MessagesAreReadFromTheFileAtEachLookup)
{
    const QString path = Write("Lang.int", {"[Dialogs]", "common_error=Error"});
    const TLanguage language(MakeForms({}), path, false);
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Error), "Error");
    Write("Lang.int", {"[Dialogs]", "Common_Error=Something went wrong"});
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Error), "Something went wrong");
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Warning), "");
}

TEST_F(LanguageTest, ApplyDressesFormsAndLeavesEmptyTextsAlone)
{
    const QString path =
        Write("Lang.int", {"[frmMain]", "Caption=", "btnConfig_Save=", "btnConfig_Main=Back",
                           "mnuFile=&File", "edConfigure_UT2003Path=Game folder", "[frmMain_Hints]",
                           "btnConfig_Main=Leave the panel", "mnuFile=never shown",
                           "edConfigure_UT2003Path=Where the game lives", "[frmArchiveInspector]",
                           "lbOverall=Overall"});

    TFakeLanguageForm main("frmMain", "UT2003 KOVA");
    main.AddControl("btnConfig_Save", "Save")
        .AddControl("btnConfig_Main", "Main")
        .AddNonVisual("mnuFile", "File")
        .AddEdit("edConfigure_UT2003Path");
    TFakeLanguageForm archive("frmArchiveInspector", "Archive");
    archive.AddControl("lbOverall", "-");
    TLanguageForms forms = MakeForms({&main});

    int loaded = 0;
    TLanguage language(forms, path, false);
    language.SetOnLanguageLoaded([&](TLanguage* sender) {
        ++loaded;
        EXPECT_EQ(sender, &language);
    });
    // Forms may join the shared list after the language was made.
    forms->append(&archive);
    language.Apply();
    EXPECT_EQ(loaded, 1);

    // A present but empty "Caption" empties the form's caption; an empty component text does not.
    EXPECT_EQ(main.CaptionWrites, 1);
    EXPECT_EQ(main.Caption, "");
    EXPECT_EQ(main.Captions["btnConfig_Save"], "Save");
    EXPECT_EQ(main.Captions["btnConfig_Main"], "Back");
    EXPECT_EQ(main.Captions["mnuFile"], "&File");
    // Hints reach controls only; an edit shows its hint as a cue banner too.
    EXPECT_EQ(main.Hints.value("btnConfig_Main"), "Leave the panel");
    EXPECT_FALSE(main.CueBanners.contains("btnConfig_Main"));
    EXPECT_FALSE(main.Hints.contains("mnuFile"));
    EXPECT_EQ(main.CueBanners.value("edConfigure_UT2003Path"), "Where the game lives");
    // No "Caption" key keeps the form's caption.
    EXPECT_EQ(archive.CaptionWrites, 0);
    EXPECT_EQ(archive.Captions["lbOverall"], "Overall");

    // A missing file changes nothing but still reports.
    TFakeLanguageForm other("frmMain", "KOVA");
    TLanguage gone(MakeForms({&other}), FilePath("Lang.gone"), false);
    gone.SetOnLanguageLoaded([&](TLanguage*) { ++loaded; });
    gone.Apply();
    EXPECT_EQ(loaded, 2);
    EXPECT_EQ(other.CaptionWrites, 0);
}

TEST_F(LanguageTest, AnEmptyFormEntryStopsTheRunWithoutTheEvent)
{
    const QString path = Write("Lang.int", {"[first]", "Caption=One", "[second]", "Caption=Two"});
    TFakeLanguageForm first("first");
    TFakeLanguageForm second("second");
    int loaded = 0;
    TLanguage language(MakeForms({&first, nullptr, &second}), path, false);
    language.SetOnLanguageLoaded([&](TLanguage*) { ++loaded; });
    language.Apply();
    EXPECT_EQ(first.Caption, "One");
    EXPECT_EQ(second.CaptionWrites, 0);
    EXPECT_EQ(loaded, 0);
}

TEST_F(LanguageTest, ManagerListsLanguageFilesAndFindsThemWithoutRegardToCase)
{
    Write("Lang.int", {"[Language]", "Language=English"});
    Write("Lang.int.bak", {"[Language]", "Language=Old English"});
    Write("Lang.pt.br", {"[Language]", "Language=Portugu\u00eas"});
    Write("Lang", {"[Language]", "Language=No code"});
    Write("Language.txt", {"[Language]", "Language=Not a language"});
    QDir(FDir.path()).mkdir("Lang.folder");

    TFakeLanguageForm main("frmMain");
    TKOVALanguage manager(MakeForms({&main}), FDir.path() + "/", "Lang");
    EXPECT_EQ(manager.ListNames(),
              QStringList({"English", "Old English", QString("Portugu\u00eas")}));
    EXPECT_EQ(main.CaptionWrites, 0); // nothing is applied while listing
    EXPECT_THROW(manager.GetLanguage(3), std::out_of_range);
    manager.SetItemIndex(-1);
    EXPECT_THROW(manager.GetCurrentLanguage(), std::out_of_range);

    // The event reaches every language, also those made before it was set.
    QList<TLanguage*> senders;
    manager.SetOnLanguageLoaded([&](TLanguage* sender) { senders.append(sender); });
    manager.GetLanguage(2)->Apply();
    EXPECT_EQ(senders, QList<TLanguage*>({manager.GetLanguage(2)}));

    EXPECT_EQ(manager.IndexOfFile(FilePath("Lang.int.bak").toUpper()), 1);
    EXPECT_EQ(manager.IndexOfFile(QString(FilePath("Lang.int")).replace('/', '\\')), 0);
    EXPECT_EQ(manager.IndexOfFile(""), -1);
    // The stored code is everything after "Lang.", so every listed file can be found again by it.
    for (int i = 0; i < manager.GetCount(); ++i)
        EXPECT_EQ(manager.IndexOfCode(manager.GetLanguageCode(i)), i);
    EXPECT_EQ(manager.GetLanguageCode(2), "pt.br");
    EXPECT_EQ(manager.IndexOfCode("INT"), 0);
    EXPECT_EQ(manager.IndexOfCode("bak"), -1);
    EXPECT_EQ(TKOVALanguage::LanguageCodeOf("C:\\KOVA\\lang.int", "Lang"), "int");
}

// Every message key has an English text, and every text is a template its callers can fill:
// each argument they pass shows, and no conversion is left without one.
TEST(ShippedLanguageFile, EveryMessageHasATemplateItsCallersCanFill)
{
    const QString path = QStringLiteral(KOVA_SOURCE_DIR "/data/Lang.int");
    const QByteArray bytes = ReadBytes(path);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << "line endings are CR LF";

    const TLanguage language(nullptr, path, false);
    EXPECT_EQ(language.LanguageName(), "English");

    const QMap<TDialogType, QVariantList> callerArguments = {
        {TDialogType::Configuration_lbActiveProfile, {"Player"}},
        {TDialogType::Configuration_InvalidUTDir, {"\"System/Core.dll\""}},
        {TDialogType::Statistics_lbAllFiles, {qint64(4711), qint64(3)}},
        {TDialogType::Statistics_lbMapsInstalled, {qint64(4712), qint64(4)}},
        {TDialogType::Statistics_lbModsInstalled, {qint64(4713), qint64(5)}},
        {TDialogType::Statistics_lbScreenshotsInstalled, {qint64(4714), qint64(6)}},
        {TDialogType::Statistics_lbDemosInstalled, {qint64(4715), qint64(7)}},
        {TDialogType::Statistics_lbVersion, {3369}},
        {TDialogType::MapManager_GameType, {"Capture the Flag"}},
        {TDialogType::MapManager_FileSize, {"12.50 MB"}},
        {TDialogType::MapManager_Author, {"Some Mapper"}},
        {TDialogType::MapManager_Title, {"Some Title"}},
        {TDialogType::ScreenShotManager_CompQuality, {87}},
        {TDialogType::Common_ArchiveInspector, {"- pack.zip"}},
        {TDialogType::Common_Filter_SCRFiles, {"*.jpg;*.jpeg"}},
        {TDialogType::Common_OverwriteFile, {"/games/ut/Maps/DM-Test.ut2"}},
        {TDialogType::Arc_FileProcess, {"Extracting", "Maps\\DM-Test.ut2"}},
        {TDialogType::Arc_OverallProcess, {42}},
        {TDialogType::Sum_Summary_OK, {7, 9, 2}},
        {TDialogType::Sum_Summary_Fail, {5, 8, 3}},
    };
    const QRegularExpression conversion(u"%-?[0-9]*(:[0-9]*)?(\\.[0-9]+)?[sdunxfe]"_s);

    for (int i = 0; i < DialogTypeCount; ++i) {
        const auto type = static_cast<TDialogType>(i);
        const QString key = DialogTypeName(type);
        ASSERT_FALSE(key.isEmpty());
        const QString text = language.GetDialogString(type);
        EXPECT_FALSE(text.trimmed().isEmpty()) << qPrintable(key);

        const QVariantList args = callerArguments.value(type);
        const QString filled = FormatTemplate(text, args);
        for (const QVariant& arg : args)
            EXPECT_TRUE(filled.contains(arg.toString())) << qPrintable(key + ": " + filled);
        EXPECT_FALSE(filled.contains(conversion)) << qPrintable(key + ": " + filled);
    }
}

} // namespace
