#include "TFakeLanguageForm.h"
#include "TKOVALanguage.h"
#include "TLanguage.h"
#include "TemplateFormat.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// Language files are Windows-1252 with CR LF line endings.
QString WriteLanguageFile(const QString& path, const QStringList& lines)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLatin1() + "\r\n";
    file.write(bytes);
    return path;
}

TLanguageForms MakeForms(std::initializer_list<ILanguageForm*> forms)
{
    return std::make_shared<QList<ILanguageForm*>>(forms);
}

class LanguageTest : public ::testing::Test
{
protected:
    QString FilePath(const QString& name) const { return QDir(FDir.path()).filePath(name); }
    QTemporaryDir FDir;
};

TEST_F(LanguageTest, DescriptionDefaultsOnlyForMissingKeys)
{
    const QString onlyName =
        WriteLanguageFile(FilePath("Lang.fr"), {"[Language]", "Language=Fran\u00e7ais"});
    const TLanguage french(MakeForms({}), onlyName, false);
    EXPECT_EQ(french.LanguageName(), QString("Fran\u00e7ais"));
    EXPECT_EQ(french.Author(), "(UNKNOWN)");
    EXPECT_EQ(french.Readme(), "Readme.htm");
    EXPECT_EQ(french.Changelog(), "Changes.txt");

    const QString emptyValues =
        WriteLanguageFile(FilePath("Lang.de"),
                          {"[language]", "LANGUAGE=Deutsch", "Author=", "Readme=", "Changelog="});
    const TLanguage german(MakeForms({}), emptyValues, false);
    EXPECT_EQ(german.LanguageName(), "Deutsch");
    EXPECT_EQ(german.Author(), "");
    EXPECT_EQ(german.Readme(), "");
    EXPECT_EQ(german.Changelog(), "");

    const TLanguage missing(MakeForms({}), FilePath("Lang.none"), false);
    EXPECT_EQ(missing.LanguageName(), "(UNKNOWN)");
    EXPECT_EQ(missing.Author(), "(UNKNOWN)");
    EXPECT_EQ(missing.Readme(), "");
    EXPECT_EQ(missing.Changelog(), "");
    EXPECT_EQ(missing.GetDialogString(TDialogType::Common_Error), "");
}

TEST_F(LanguageTest, CheckTellsADamagedFileFromAnIncompleteOne)
{
    // Usable: a translation that lacks messages (they show empty), and one in UTF-16.
    const QStringList incomplete = {"[Language]", "Language=Fran\u00e7ais", "[Dialogs]",
                                    "Common_Yes=Oui"};
    EXPECT_TRUE(
        TLanguage(nullptr, WriteLanguageFile(FilePath("Lang.fr"), incomplete), false).Check());
    QString utf16Text = u"\uFEFF"_s + incomplete.join(u"\r\n"_s);
    QFile utf16(FilePath("Lang.utf"));
    ASSERT_TRUE(utf16.open(QIODevice::WriteOnly));
    utf16.write(reinterpret_cast<const char*>(utf16Text.utf16()), utf16Text.size() * 2);
    utf16.close();
    EXPECT_TRUE(TLanguage(nullptr, utf16.fileName(), false).Check());

    // Damaged: each says which file and what is wrong with it.
    const struct
    {
        QByteArray Bytes;
        const char* Reason;
    } damaged[] = {
        {"", "it is empty"},
        {"\r\n  \r\n", "it is empty"},
        {QByteArray("\x7f"
                    "ELF\x02\x01\x01\0\0\0[Language]\r\nLanguage=x\r\n",
                    30),
         "it is not a text file"},
        {"[Language]\r\nLangu", "it names no language"},
        {"[Language]\r\nLanguage=English\r\nAuthor=The", "it holds no messages"},
    };
    for (const auto& file : damaged) {
        const QString path = FilePath("Lang.bad");
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(file.Bytes);
        out.close();
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
    const QString path =
        WriteLanguageFile(FilePath("Lang.int"), {"[Language]", "Language=English"});
    const TLanguage language(MakeForms({}), path, false);
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Error), "");

    WriteLanguageFile(path, {"[Dialogs]", "Common_Error=Error",
                             "Common_Warning=", "common_information=Information"});
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Error), "Error");
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Warning), "");
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Information), "Information");
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Confirmation), "");

    WriteLanguageFile(path, {"[Dialogs]", "Common_Error=Something went wrong"});
    EXPECT_EQ(language.GetDialogString(TDialogType::Common_Error), "Something went wrong");
}

TEST_F(LanguageTest, ApplyDressesFormsAndLeavesEmptyTextsAlone)
{
    const QString path = WriteLanguageFile(
        FilePath("Lang.int"),
        {"[frmMain]", "Caption=", "btnConfig_Save=", "btnConfig_Main=Back", "mnuFile=&File",
         "edConfigure_UT2003Path=Game folder", "[frmMain_Hints]", "btnConfig_Main=Leave the panel",
         "mnuFile=never shown", "edConfigure_UT2003Path=Where the game lives",
         "btnConfig_Save=", "[frmArchiveInspector]", "lbOverall=Overall",
         "[frmArchiveInspector_Hints]", "lbOverall=Progress of the whole run"});

    TFakeLanguageForm main("frmMain", "UT2003 KOVA");
    main.AddControl("btnConfig_Save", "Save")
        .AddControl("btnConfig_Main", "Main")
        .AddNonVisual("mnuFile", "File")
        .AddEdit("edConfigure_UT2003Path")
        .AddControl("", "unnamed");
    TFakeLanguageForm archive("frmArchiveInspector", "Archive");
    archive.AddControl("lbOverall", "-");
    TLanguageForms forms = MakeForms({&main});

    int loaded = 0;
    TLanguage* sender = nullptr;
    TLanguage language(forms, path, false);
    language.SetOnLanguageLoaded([&](TLanguage* s) {
        ++loaded;
        sender = s;
    });
    // Forms may join the shared list after the language was made.
    forms->append(&archive);
    EXPECT_EQ(main.CaptionWrites, 0);
    EXPECT_EQ(main.Captions["btnConfig_Main"], "Main");

    language.Apply();
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(sender, &language);

    // A present but empty "Caption" empties the form's caption; an empty component text does not.
    EXPECT_EQ(main.CaptionWrites, 1);
    EXPECT_EQ(main.Caption, "");
    EXPECT_EQ(main.Captions["btnConfig_Save"], "Save");
    EXPECT_EQ(main.Captions["btnConfig_Main"], "Back");
    EXPECT_EQ(main.Captions["mnuFile"], "&File");
    EXPECT_EQ(main.Captions["edConfigure_UT2003Path"], "Game folder");
    EXPECT_EQ(main.Captions[""], "unnamed");

    // Hints reach controls only; an edit shows its hint as a cue banner too.
    EXPECT_EQ(main.Hints.value("btnConfig_Main"), "Leave the panel");
    EXPECT_FALSE(main.CueBanners.contains("btnConfig_Main"));
    EXPECT_FALSE(main.Hints.contains("mnuFile"));
    EXPECT_FALSE(main.Hints.contains("btnConfig_Save"));
    EXPECT_EQ(main.Hints.value("edConfigure_UT2003Path"), "Where the game lives");
    EXPECT_EQ(main.CueBanners.value("edConfigure_UT2003Path"), "Where the game lives");

    // No "Caption" key keeps the form's caption.
    EXPECT_EQ(archive.CaptionWrites, 0);
    EXPECT_EQ(archive.Caption, "Archive");
    EXPECT_EQ(archive.Captions["lbOverall"], "Overall");
    EXPECT_EQ(archive.Hints.value("lbOverall"), "Progress of the whole run");
}

TEST_F(LanguageTest, ApplyFromAMissingFileChangesNothingButStillReports)
{
    TFakeLanguageForm main("frmMain", "KOVA");
    main.AddControl("btnConfig_Save", "Save");
    int loaded = 0;
    TLanguage language(MakeForms({&main}), FilePath("Lang.gone"), false);
    language.SetOnLanguageLoaded([&](TLanguage*) { ++loaded; });
    language.Apply();
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(main.CaptionWrites, 0);
    EXPECT_EQ(main.Captions["btnConfig_Save"], "Save");
    EXPECT_TRUE(main.Hints.isEmpty());
}

TEST_F(LanguageTest, AnEmptyFormEntryStopsTheRunWithoutTheEvent)
{
    const QString path = WriteLanguageFile(FilePath("Lang.int"),
                                           {"[first]", "Caption=One", "[second]", "Caption=Two"});
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

TEST_F(LanguageTest, ManagerListsLanguageFilesInFolderOrder)
{
    WriteLanguageFile(FilePath("Lang.int"), {"[Language]", "Language=English"});
    WriteLanguageFile(FilePath("Lang.de"), {"[Language]", "Language=Deutsch"});
    WriteLanguageFile(FilePath("Lang.pt.br"), {"[Language]", "Language=Portugu\u00eas"});
    WriteLanguageFile(FilePath("Lang"), {"[Language]", "Language=No code"});
    WriteLanguageFile(FilePath("Language.txt"), {"[Language]", "Language=Not a language"});
    QDir(FDir.path()).mkdir("Lang.folder");

    TFakeLanguageForm main("frmMain");
    TKOVALanguage manager(MakeForms({&main}), FDir.path(), "Lang");
    ASSERT_EQ(manager.GetCount(), 3);
    EXPECT_EQ(manager.ListNames(), QStringList({"Deutsch", "English", QString("Portugu\u00eas")}));
    EXPECT_EQ(manager.ItemIndex(), 0);
    EXPECT_EQ(manager.GetCurrentLanguage()->LanguageName(), "Deutsch");
    EXPECT_EQ(main.CaptionWrites, 0); // nothing is applied while listing

    EXPECT_THROW(manager.GetLanguage(3), std::out_of_range);
    EXPECT_THROW(manager.GetLanguage(-1), std::out_of_range);
    manager.SetItemIndex(-1);
    EXPECT_THROW(manager.GetCurrentLanguage(), std::out_of_range);

    // The event reaches every language, also those made before it was set.
    QList<TLanguage*> senders;
    manager.SetOnLanguageLoaded([&](TLanguage* sender) { senders.append(sender); });
    manager.GetLanguage(2)->Apply();
    manager.GetLanguage(0)->Apply();
    EXPECT_EQ(senders, QList<TLanguage*>({manager.GetLanguage(2), manager.GetLanguage(0)}));

    manager.Add(nullptr);
    EXPECT_EQ(manager.GetCount(), 3);
    manager.Add(std::make_unique<TLanguage>(nullptr, FilePath("Lang.extra"), false));
    EXPECT_EQ(manager.GetCount(), 4);
}

TEST_F(LanguageTest, FilesAndCodesAreFoundWithoutRegardToCase)
{
    WriteLanguageFile(FilePath("Lang.int"), {"[Language]", "Language=English"});
    WriteLanguageFile(FilePath("Lang.int.bak"), {"[Language]", "Language=Old English"});
    WriteLanguageFile(FilePath("Lang.pt.br"), {"[Language]", "Language=Portugu\u00eas"});
    const TKOVALanguage manager(nullptr, FDir.path() + "/", "Lang");
    ASSERT_EQ(manager.GetCount(), 3);

    EXPECT_EQ(manager.IndexOfFile(FilePath("Lang.int.bak").toUpper()), 1);
    EXPECT_EQ(manager.IndexOfFile(FilePath("LANG.PT.BR")), 2);
    EXPECT_EQ(manager.IndexOfFile(QString(FilePath("Lang.int")).replace('/', '\\')), 0);
    EXPECT_EQ(manager.IndexOfFile(FilePath("Lang.fr")), -1);
    EXPECT_EQ(manager.IndexOfFile(""), -1);

    // The stored code is everything after "Lang.", so every listed file can be found again by it.
    for (int i = 0; i < manager.GetCount(); ++i)
        EXPECT_EQ(manager.IndexOfCode(manager.GetLanguageCode(i)), i);
    EXPECT_EQ(manager.GetLanguageCode(1), "int.bak");
    EXPECT_EQ(manager.GetLanguageCode(2), "pt.br");
    EXPECT_EQ(manager.IndexOfCode("INT"), 0);
    EXPECT_EQ(manager.IndexOfCode("bak"), -1);
    EXPECT_EQ(TKOVALanguage::LanguageCodeOf("C:\\KOVA\\lang.int", "Lang"), "int");
    EXPECT_EQ(TKOVALanguage::LanguageCodeOf("/opt/kova/Lang.", "Lang"), "");

    const TKOVALanguage nowhere(nullptr, FilePath("missing"), "Lang");
    EXPECT_EQ(nowhere.GetCount(), 0);
}

// Every message key has an English text, and every text is a template its callers can fill:
// each argument they pass shows, and no conversion is left without one.
TEST(ShippedLanguageFile, EveryMessageHasATemplateItsCallersCanFill)
{
    const QString path = QStringLiteral(KOVA_SOURCE_DIR "/data/Lang.int");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << "line endings are CR LF";

    const TLanguage language(nullptr, path, false);
    EXPECT_EQ(language.LanguageName(), "English");

    const QMap<TDialogType, QVariantList> callerArguments = {
        {TDialogType::Configuration_lbActiveProfile, {"Player"}},
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
    EXPECT_TRUE(DialogTypeName(static_cast<TDialogType>(DialogTypeCount)).isEmpty());
}

} // namespace
