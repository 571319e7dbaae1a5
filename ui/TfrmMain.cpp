#include "TfrmMain.h"
#include "ui_TfrmMain.h"

#include "AtomicFile.h"
#include "DemoScript.h"
#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "KOVAIcons.h"
#include "KOVAVersion.h"
#include "PageTable.h"
#include "Process.h"
#include "TAddonDeletionProposal.h"
#include "TAddonInstaller.h"
#include "TCacheManager.h"
#include "TDemoPage.h"
#include "TEventManager.h"
#include "TIniEditorPage.h"
#include "TInstallSummary.h"
#include "TInstallationSummary.h"
#include "TInstallationManagers.h"
#include "TKOVALanguage.h"
#include "TKOVASettings.h"
#include "TLinkLabel.h"
#include "SystemImages.h"
#include "TMapManager.h"
#include "TPageBase.h"
#include "TQtLanguageForm.h"
#include "TScreenShotManager.h"
#include "TSelectLanguage.h"
#include "TServerPackageEditor.h"
#include "TServerPackages.h"
#include "TShellExecThread.h"
#include "TShellOperationDialogs.h"
#include "TSystemManager.h"
#include "TUT2003Profile.h"
#include "TUpdateCache.h"
#include "TemplateFormat.h"
#include "TfrmArchiveInspector.h"
#include "uKOVA_Misc.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTabBar>
#include <QThread>
#include <QTimer>

namespace {

const QString KNoLanguageFile =
    QStringLiteral("Fatal Error: No language file was found. KOVA cannot be started.\r\n"
                   "Please reconfigure the settings.xml file or re-install KOVA.");
const QString KLanguageMissing = QStringLiteral(
    "Fatal Error: KOVA was not able to locate the selected language file. GUI cannot be "
    "initialized.\r\nPlease reconfigure the settings.xml file or re-install KOVA.");
const QString KNoLanguageChosen =
    QStringLiteral("Fatal Error: No language was chosen. KOVA cannot be started without one.\r\n"
                   "Start KOVA again to choose your language.");
const QString KLanguageDamaged =
    QStringLiteral("Fatal Error: %1 GUI cannot be initialized.\r\nPlease replace or delete the "
                   "file, reconfigure the settings.xml file or re-install KOVA.");

// A Windows-style message text shows its line breaks as CR LF; Qt wants LF.
QString DisplayText(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

void ShowFatalError(QWidget* owner, const QString& text)
{
    Dialogs().MessageBox(owner, QStringLiteral("Fatal Error"), DisplayText(text),
                         TMsgDlgType::mtError, mbOK);
}

// The settings loader's failures end the start-up, so they carry the fatal caption wherever
// they happen.
void ShowSettingsLoadError(QWidget* owner, const TError& error)
{
    ShowFatalError(owner, error.Message);
}

} // namespace

TfrmMain::TfrmMain(const QString& appDir, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent)
    , FUi(std::make_unique<Ui::TfrmMain>())
    , FFolders(appDir)
    , FSystemImages(SystemImages())
    , FForms(std::make_shared<QList<ILanguageForm*>>())
{
    FUi->setupUi(this);
    FormCreate(arguments);
}

TfrmMain::~TfrmMain()
{
    // The demo wait must not outlive the window; the game it started keeps running.
    if (FDemoThread) {
        FDemoThread->SetAbort(true);
        FDemoThread->wait();
    }
    SetShellOperationUi(nullptr);
    FArchiveInspector.reset();
    FManagers.reset();
    FEventManager.reset();
    FLanguageManager.reset();
    FSettings = nullptr;
    FSettingsOwner.reset();
    FSystemManager.reset();
}

void TfrmMain::FormCreate(const QStringList& arguments)
{
    FArguments = arguments;
    FFirstShow = true;
    FUpdateCacheOnShow = false;

    // "/external <name>" names another settings file of the user's or of the program folder.
    QString settingsFile = FFolders.SettingsFile();
    QString error;
    if (arguments.size() > 2 && arguments.at(1) == QLatin1String("/external"))
        settingsFile = FFolders.FindExternalSettings(arguments.at(2), &error);
    else if (!FFolders.PrepareSettings(&error))
        settingsFile.clear();
    if (settingsFile.isEmpty()) {
        ShowFatalError(this, error);
        FStartupState = TStartupState::ssSettingsFailed;
        return;
    }
    FSettingsOwner = std::make_unique<TKOVASettings>(FFolders.ProgramDir(), settingsFile);
    FSettings = FSettingsOwner.get();
    // The user's own file may be started afresh: the next start makes it again.
    const QString remedy =
        settingsFile == FFolders.SettingsFile() && settingsFile != FFolders.ShippedSettingsFile()
            ? QStringLiteral("\nCorrect the file, or delete it to start again "
                             "with the settings KOVA comes with.")
            : QString();
    if (const TResult<void> loaded = FSettings->LoadFromFile(); !loaded) {
        ShowFatalError(this, loaded.Error().Message + remedy);
        FStartupState = TStartupState::ssSettingsFailed;
        return;
    }
    // Read as settings, another kind of file leaves every value at its default; the first thing
    // to fail would be the language, which is not what is wrong.
    if (!FSettings->HasSettingsRoot()) {
        ShowFatalError(this,
                       QStringLiteral("The file \"%1\" is not a settings file of KOVA: its root "
                                      "element is <%2>, where <kovasettings> was expected.")
                               .arg(settingsFile, FSettings->RootName()) +
                           remedy);
        FStartupState = TStartupState::ssSettingsFailed;
        return;
    }

    if (FSettings->IsWindowSizeable)
        setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, false);
    else
        setFixedSize(size().expandedTo(minimumSize()));
    SetApplicationTitle(FSettings->AppName);
    setWindowTitle(QStringLiteral("%1 [ %2 ] - v%3")
                       .arg(FSettings->AppName, LongTitle(), GetFileVersionText()));

    FFormAdapters << std::make_shared<TQtLanguageForm>(this);
    FForms->append(FFormAdapters.last().get());
    FLanguageManager =
        std::make_unique<TKOVALanguage>(FForms, FFolders.LanguageDirs(), QStringLiteral("Lang"));
    if (FLanguageManager->GetCount() == 0) {
        ShowFatalError(this, KNoLanguageFile);
        FStartupState = TStartupState::ssNoLanguageFile;
        return;
    }
    FLanguageManager->SetOnLanguageLoaded([this](TLanguage* sender) { OnLanguageLoaded(sender); });

    int languageIndex = -1;
    if (FSettings->FirstRun)
        languageIndex = TSelectLanguage::Execute(FLanguageManager.get());
    else
        languageIndex = FLanguageManager->IndexOfCode(FSettings->Language);
    if (languageIndex < 0) {
        ShowFatalError(this, FSettings->FirstRun ? KNoLanguageChosen : KLanguageMissing);
        FStartupState = TStartupState::ssLanguageMissing;
        return;
    }
    // A damaged file would dress nothing and leave every message empty: questions without a
    // question.
    if (const TResult<void> usable = FLanguageManager->GetLanguage(languageIndex)->Check();
        !usable) {
        ShowFatalError(this, KLanguageDamaged.arg(usable.Error().Message));
        FStartupState = TStartupState::ssLanguageDamaged;
        return;
    }
    FLanguageManager->SetItemIndex(languageIndex);

    if (FSettings->FirstRun) {
        FSettings->Language = FLanguageManager->GetLanguageCode(languageIndex);
        FSettings->FirstRun = false;
        const bool useCache =
            Dialogs().MessageBox(this, GetLangText(TDialogType::Common_Confirmation),
                                 GetLangText(TDialogType::Common_Use_Cache),
                                 TMsgDlgType::mtConfirmation, mbYes | mbNo) == TModalResult::mrYes;
        FUpdateCacheOnShow = useCache;
        FSettings->EnableMapManagerCache = useCache;
        Succeeded(this, FSettings->SaveToFile());
    }

    InstallShellOperationDialogs(this, [this](TDialogType key) { return GetLangText(key); });

    FFolders.MakeUserFolders();
    FSystemManager = std::make_unique<TSystemManager>(&FSettings, CurrentLanguage(),
                                                      QCoreApplication::applicationFilePath());
    DetectGameFolder();

    // The dialogs the language dresses with the main window.
    FAddonDeletionProposal = new TAddonDeletionProposal(*this, this);
    FUpdateCache = new TUpdateCache(this);
    FServerPackageEditor = new TServerPackageEditor(*this, this);
    FArchiveInspector = std::make_unique<TfrmArchiveInspector>(*this);
    FInstallationSummary = new TInstallationSummary(this);
    for (QWidget* form :
         {static_cast<QWidget*>(FAddonDeletionProposal), static_cast<QWidget*>(FUpdateCache),
          static_cast<QWidget*>(FInstallationSummary), static_cast<QWidget*>(FServerPackageEditor),
          static_cast<QWidget*>(FArchiveInspector.get())}) {
        FFormAdapters << std::make_shared<TQtLanguageForm>(form);
        FForms->append(FFormAdapters.last().get());
    }

    FManagers = std::make_unique<TInstallationManagers>(&FSettings, FFolders);
    RegisterPages();
    FManagers->Create();
    FSettings->OnChanged = [this] { OnSettingsChanged(); };
    ConnectMenus();

    FUi->MenuCacheEnabled->setChecked(FSettings->EnableMapManagerCache);
    FUi->MenuCacheUpdate->setEnabled(FSettings->EnableMapManagerCache);
    FUi->pgMain->SetChanging([this](int index) {
        // The Configuration page is where the folder is mended: the way there stays open.
        if (index == FUi->pgMain->indexOf(FUi->tbConfiguration) ||
            FSettings->IsValidUTDir(FSettings->UTDir))
            return true;
        ShowConfigurationPage();
        return false;
    });
    connect(FUi->pgMain, &QTabWidget::currentChanged, this,
            [this] { RunGuarded(this, [this] { pgMainChange(); }); });
}

QString TfrmMain::LongTitle()
{
    return QStringLiteral("Configuration and Maintenance Tool");
}

bool TfrmMain::DetectGameFolder()
{
    if (FSettings->IsValidUTDir(FSettings->UTDir))
        return true;
    const TResult<QString> folder = FSettings->GetUTDirFromRegistry();
    if (folder && FSettings->IsValidUTDir(*folder)) {
        FSettings->SetUTDir(*folder);
        Succeeded(this, FSettings->SaveToFile());
        ReloadSettings();
        return true;
    }
    FSettings->SetUTDir(QStringLiteral("C:\\UT2004"));
    const bool found = FSettings->IsValidUTDir(FSettings->UTDir);
    if (found) {
        // A fallback folder that is taken is kept like one from the registry, so every folder
        // and rule follows it.
        Succeeded(this, FSettings->SaveToFile());
        ReloadSettings();
    }
    Dialogs().MessageBox(this, GetLangText(TDialogType::Common_Warning),
                         GetLangText(TDialogType::Common_UnableToLocateDirectory),
                         TMsgDlgType::mtWarning, mbOK);
    return found;
}

void TfrmMain::RegisterPages()
{
    FEventManager = std::make_unique<TEventManager>();
    CreatePages(*this, FUi->pgMain, *FEventManager);
    for (int i = 0; i < FUi->pgMain->count(); ++i) {
        const TPageEntry* entry = FindPageEntry(FUi->pgMain->widget(i)->objectName());
        Q_ASSERT_X(entry, "TfrmMain", "a tab sheet missing from the page table");
        if (entry)
            FUi->pgMain->setTabIcon(i, KOVAIcon(entry->Image));
    }
    FUi->pgMain->setCurrentWidget(FUi->tbConfiguration);
}

QList<TPageBase*> TfrmMain::Pages() const
{
    QList<TPageBase*> pages;
    for (int i = 0; i < FUi->pgMain->count(); ++i) {
        if (TPageBase* page = PageIn(FUi->pgMain->widget(i)))
            pages << page;
    }
    return pages;
}

TUT2003Profile* TfrmMain::Profiles() const
{
    return FManagers ? FManagers->Profiles() : nullptr;
}

TMapManager* TfrmMain::MapManager() const
{
    return FManagers ? FManagers->MapManager() : nullptr;
}

TScreenShotManager* TfrmMain::ScreenShotManager() const
{
    return FManagers ? FManagers->ScreenShotManager() : nullptr;
}

TCacheManager* TfrmMain::CacheManager() const
{
    return FManagers ? FManagers->CacheManager() : nullptr;
}

TServerPackages* TfrmMain::ServerPackages() const
{
    return FManagers ? FManagers->ServerPackages() : nullptr;
}

IDialogs& TfrmMain::Dialogs() const
{
    return ::Dialogs();
}

bool TfrmMain::ReloadSettings()
{
    const TResult<void> loaded = FSettings->LoadFromFile();
    if (!loaded)
        ShowSettingsLoadError(this, loaded.Error());
    return bool(loaded);
}

void TfrmMain::RecreateManagers()
{
    FManagers->Free();
    FManagers->Create();
}

void TfrmMain::OnSettingsChanged()
{
    FUi->MenuCacheEnabled->setChecked(FSettings->EnableMapManagerCache);
    for (TPageBase* page : Pages())
        page->SettingsChanged();
}

void TfrmMain::ConnectMenus()
{
    ConnectGuarded(FUi->MenuPlayUT2003, &QAction::triggered, this, &TfrmMain::MenuPlayUT2003Click);
    ConnectGuarded(FUi->MenuServerPackageEditor, &QAction::triggered, this,
                   &TfrmMain::MenuServerPackageEditorClick);
    ConnectGuarded(FUi->MenuExit, &QAction::triggered, this, &TfrmMain::MenuExitClick);
    ConnectGuarded(FUi->MenuHelpFile, &QAction::triggered, this, &TfrmMain::MenuHelpFileClick);
    ConnectGuarded(FUi->MenuChangeLog, &QAction::triggered, this, &TfrmMain::MenuChangeLogClick);
    ConnectGuarded(FUi->MenuAbout, &QAction::triggered, this, &TfrmMain::MenuAboutClick);
    ConnectGuarded(FUi->MenuCache, &QMenu::aboutToShow, this, &TfrmMain::MenuCacheClick);
    ConnectGuarded(FUi->MenuCacheEnabled, &QAction::triggered, this,
                   &TfrmMain::MenuCacheEnabledClick);
    ConnectGuarded(FUi->MenuCacheUpdate, &QAction::triggered, this,
                   &TfrmMain::MenuCacheUpdateClick);
    ConnectGuarded(FUi->MenuCheckForUpdates, &QAction::triggered, this,
                   &TfrmMain::MenuCheckForUpdatesClick);
    ConnectGuarded(FUi->MenuArchiveInspector, &QAction::triggered, this,
                   &TfrmMain::MenuArchiveInspectorClick);
    ConnectGuarded(FUi->MeunInstallUTContentFromArchive, &QAction::triggered, this,
                   &TfrmMain::MeunInstallUTContentFromArchiveClick);
    ConnectGuarded(FUi->MeunInstallUTContentFromDir, &QAction::triggered, this,
                   &TfrmMain::MeunInstallUTContentFromDirClick);
    ConnectGuarded(FUi->MeunInstallUTContentFromFile, &QAction::triggered, this,
                   &TfrmMain::MeunInstallUTContentFromFileClick);
    ConnectGuarded(FUi->MenuPlayDemo, &QAction::triggered, this, &TfrmMain::MenuPlayDemoClick);
    FUi->MenuPlayUT2003->setIcon(KOVAIcon(kiPlay));
    FUi->MenuPlayDemo->setIcon(KOVAIcon(kiDemos));
    FUi->MenuAbout->setIcon(KOVAIcon(kiAbout));
    FUi->MenuExit->setIcon(KOVAIcon(kiDelete));
}

TLanguage* TfrmMain::CurrentLanguage() const
{
    if (!FLanguageManager || FLanguageManager->ItemIndex() < 0 ||
        FLanguageManager->ItemIndex() >= FLanguageManager->GetCount())
        return nullptr;
    return FLanguageManager->GetCurrentLanguage();
}

QString TfrmMain::GetLangText(TDialogType index) const
{
    const TLanguage* language = CurrentLanguage();
    return language ? DisplayText(language->GetDialogString(index)) : QString();
}

QLineEdit* TfrmMain::GamePathEdit() const
{
    return findChild<QLineEdit*>(QStringLiteral("edConfigure_UT2003Path"));
}

bool TfrmMain::CheckGamePath()
{
    if (FSettings->IsValidUTDir(FSettings->UTDir))
        return true;
    Dialogs().ShowBalloonTip(GamePathEdit(), GetLangText(TDialogType::Common_PathInvalid),
                             GetLangText(TDialogType::Common_UnableToLocateDirectory),
                             TBalloonIcon::biError);
    return false;
}

void TfrmMain::pgMainChange()
{
    if (!FEventManager)
        return;
    if (const TEventMethod handler = FEventManager->Find(FUi->pgMain->currentWidget()))
        handler();
}

void TfrmMain::ShowPage(const QString& tabSheet)
{
    QWidget* page = FUi->pgMain->findChild<QWidget*>(tabSheet);
    if (!page || FUi->pgMain->indexOf(page) < 0) {
        // The names come from the page table and the pages; a wrong one is a slip of ours.
        qWarning("No tab sheet %s", qPrintable(tabSheet));
        return;
    }
    if (FUi->pgMain->currentWidget() == page)
        pgMainChange();
    else
        FUi->pgMain->setCurrentWidget(page); // the change event runs the handler
}

void TfrmMain::ShowConfigurationPage()
{
    if (const TEventMethod handler = FEventManager->Find(FUi->tbConfiguration))
        handler();
}

void TfrmMain::RunGame(const TUTMap* map, const QString& options)
{
    if (!map)
        return;
    const QString exe =
        FSettings->GetPath(TMapPaths::mpSystem) + QLatin1Char('/') + FSettings->ExeName;
    StartOrReport(ResolveGamePath(exe), {QFileInfo(map->FileName()).fileName() + options});
}

void TfrmMain::StartOrReport(const QString& program, const QStringList& arguments)
{
    QString error;
    if (!StartProgram(program, arguments, QString(), &error).Valid())
        ReportStartError(error);
}

void TfrmMain::OpenOrReport(const QString& fileOrUrl)
{
    // Through the link label, so that the menu opens a document as the About page's links do.
    QString error;
    if (!TLinkLabel::OpenURL(fileOrUrl, &error, this,
                             [this](const QString& failure) { ReportStartError(failure); }))
        ReportStartError(error);
}

void TfrmMain::ReportStartError(const QString& error)
{
    ShowError(this, error);
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (FStartupState == TStartupState::ssRunning)
        FormShow();
}

void TfrmMain::FormShow()
{
    if (FFirstShow) {
        if (TLanguage* language = CurrentLanguage())
            language->Apply();
        BuildWindowMenu(FUi->MenuWindow);
        HandleCommandLine();
        ShowConfigurationPage();
        if (FUpdateCacheOnShow) {
            raise();
            activateWindow();
            QCoreApplication::processEvents();
            RunGuarded(this, [this] { UpdateMapCache(); });
            FUpdateCacheOnShow = false;
        }
        FFirstShow = false;
    }
}

void TfrmMain::OnLanguageLoaded(TLanguage* sender)
{
    BuildToolTips();
    if (FArchiveInspector)
        FArchiveInspector->SetLanguage(sender);
    for (TPageBase* page : Pages())
        page->LanguageChanged();
}

void TfrmMain::ApplyLanguage(int index)
{
    if (index < 0 || index >= FLanguageManager->GetCount())
        return;
    FLanguageManager->SetItemIndex(index);
    FLanguageManager->GetLanguage(index)->Apply();
    BuildWindowMenu(FUi->MenuWindow);
}

void TfrmMain::BuildToolTips()
{
    // A windowed control with a hint shows it in a tip titled with the program's name; tool
    // buttons and labels keep their plain hints.
    const QString title = FSettings->AppName.left(255).toHtmlEscaped();
    const QList<QWidget*> widgets = findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        // The dialogs the window owns are forms of their own, dressed with their own hints.
        if (widget->window() != this)
            continue;
        const QString hint = TQtLanguageForm::HintOf(widget);
        if (hint.isEmpty() || widget->inherits("QLabel") || widget->inherits("QToolButton"))
            continue;
        widget->setToolTip(QStringLiteral("<b>%1</b><br>%2").arg(title, hint.toHtmlEscaped()));
    }
}

QStringList TfrmMain::GetPageList() const
{
    QStringList captions;
    for (int i = 0; i < FUi->pgMain->count(); ++i) {
        if (FUi->pgMain->widget(i) != FUi->tbAbout)
            captions << FUi->pgMain->tabText(i);
    }
    return captions;
}

void TfrmMain::BuildWindowMenu(QMenu* menu)
{
    if (!menu)
        return;
    const QStringList pages = GetPageList();
    // Items of an earlier build are found by name, so a rebuild never duplicates them.
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        if (action->objectName().startsWith(menu->objectName() + QStringLiteral("_Wnd"))) {
            menu->removeAction(action);
            delete action;
        }
    }
    for (int i = 0; i < pages.size(); ++i) {
        auto* item = new QAction(pages.at(i), menu);
        item->setObjectName(QStringLiteral("%1_Wnd%2").arg(menu->objectName()).arg(i));
        item->setData(i);
        if (const TPageEntry* entry = FindPageEntry(FUi->pgMain->widget(i)->objectName()))
            item->setIcon(KOVAIcon(entry->Image));
        connect(item, &QAction::triggered, this,
                [this, i] { RunGuarded(this, [this, i] { WindowMenuItemClick(i); }); });
        menu->addAction(item);
    }
}

void TfrmMain::WindowMenuItemClick(int tag)
{
    if (QWidget* page = FUi->pgMain->widget(tag))
        ShowPage(page->objectName());
}

void TfrmMain::HandleCommandLine()
{
    if (FArguments.size() < 2)
        return;
    const QString command = FArguments.at(1);
    const auto argument = [this](int index) {
        return index < FArguments.size() ? FArguments.at(index) : QString();
    };
    const QStringList switches = {QStringLiteral("/install"), QStringLiteral("/installfolder"),
                                  QStringLiteral("/playdemo"), QStringLiteral("/installcache")};
    if (!switches.contains(command))
        return;
    // A switch that installs, moves or plays needs a valid game folder.
    if (!FSettings->IsValidUTDir(FSettings->UTDir)) {
        RequestEnd(2);
        return;
    }
    bool done = false;
    RunGuarded(this, [&] {
        if (command == QLatin1String("/install")) {
            const bool silent = argument(3).toLower() == QLatin1String("-s");
            const QString target = argument(2);
            if (!QFileInfo::exists(target)) {
                // A silent run tells by its exit status alone, as for its other failures.
                if (!silent)
                    ShowError(this,
                              target.isEmpty()
                                  ? QStringLiteral("No file or folder was named to install.")
                                  : QStringLiteral("\"%1\" does not exist; nothing was installed.")
                                        .arg(target));
                return;
            }
            if (QFileInfo(target).isDir()) {
                bool recursive = true;
                switch (FSettings->FolderInstallMode) {
                case TFolderInstallMode::fimRecursive:
                    break;
                case TFolderInstallMode::fimNonRecursive:
                    recursive = false;
                    break;
                case TFolderInstallMode::fimAsk: {
                    const TModalResult answer =
                        Dialogs().MessageBox(this, GetLangText(TDialogType::Common_Confirmation),
                                             GetLangText(TDialogType::Common_IncludeSubFolders),
                                             TMsgDlgType::mtInformation, mbYes | mbNo | mbCancel);
                    if (answer == TModalResult::mrCancel)
                        return; // a cancelled run

                    recursive = answer == TModalResult::mrYes;
                    break;
                }
                }
                done = InstallFromFolder(target, recursive, silent);
            } else {
                done = InstallFromArchive(target, silent, true);
            }
        } else if (command == QLatin1String("/installfolder")) {
            const bool recursive = argument(2) == QLatin1String("-r");
            const bool overwrite =
                argument(2) == QLatin1String("-o") || argument(3) == QLatin1String("-o");
            const QStringList files = FindFiles(WithTrailingSeparator(QDir::currentPath()),
                                                QStringLiteral("*.*"), recursive);
            done = InstallFiles(files, true, overwrite);
        } else if (command == QLatin1String("/playdemo")) {
            done = PlayDemo(argument(2));
        } else if (command == QLatin1String("/installcache")) {
            const TResult<TCacheExtractResult> extracted = CacheManager()->ExtractAll(true);
            // An empty index had nothing to do; otherwise as for the other installs.
            done = extracted && extracted->Succeeded();
            if (extracted)
                FilesInstalled(extracted->InstalledTargets(), false);
        }
    });
    RequestEnd(done ? 0 : 1);
}

void TfrmMain::RequestEnd(int status)
{
    FExitStatus = status;
    FEndRequested = true;
    // The end comes at the loop's next turn, after the rest of the first showing. Before the
    // loop runs, whoever starts it asks EndRequested: an exit without a loop would end the
    // first loop started later at once, a modal dialog's included.
    if (QThread::currentThread()->loopLevel() > 0)
        QTimer::singleShot(0, this, [status] { QCoreApplication::exit(status); });
}

QWidget* TfrmMain::InstallOwner()
{
    // The archive window stays on top while it is shown: what it does not own stands under it.
    if (FArchiveInspector->isVisible())
        return FArchiveInspector.get();
    return this;
}

void TfrmMain::ConfirmOverwrite(const QString& fileName, bool& overwrite, bool& yesToAll,
                                bool& cancel)
{
    if (FSilent) {
        yesToAll = FOverwriteDefault;
        overwrite = FOverwriteDefault;
        return;
    }
    switch (Dialogs().MessageBox(
        InstallOwner(), GetLangText(TDialogType::Common_Confirmation),
        FormatTemplate(GetLangText(TDialogType::Common_OverwriteFile), {fileName}),
        TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel | mbYesToAll)) {
    case TModalResult::mrYes:
        overwrite = true;
        break;
    case TModalResult::mrNo:
        overwrite = false;
        break;
    case TModalResult::mrYesToAll:
        yesToAll = true;
        break;
    default:
        cancel = true;
        break;
    }
}

bool TfrmMain::RunInstall(const QStringList& files, bool asArchive)
{
    TInstallSummary summary;
    const bool complete = AllFilesExist(files);
    const bool anyArchive =
        asArchive || std::any_of(files.begin(), files.end(), &TAddonInstaller::IsArchive);
    // Archives unpack through the archive window, its progress panel in front.
    const bool underArchiveWindow = complete && anyArchive;
    TAddonInstaller road(*FSettings, FArchiveInspector->Zip());
    const TOverwriteCallback confirm = [this](const QString& fileName, bool& overwrite,
                                              bool& yesToAll, bool& cancel) {
        ConfirmOverwrite(fileName, overwrite, yesToAll, cancel);
    };
    TResult<void> result;
    const auto run = [&] {
        road.SetCopyOwner(InstallOwner(), FSilent);
        result = asArchive ? road.InstallArchives(files, summary, confirm)
                           : road.InstallFileList(files, summary, confirm);
    };
    if (underArchiveWindow) {
        FArchiveInspector->ShowArchive(QString());
        FArchiveInspector->RunWithProgress(run);
        FArchiveInspector->hide();
    } else if (complete) {
        run();
    }
    // Judged before the dialog, whose Delete Target changes rows after the run.
    const bool succeeded = complete && result && summary.Succeeded();
    QStringList installed;
    for (int i = 0; i < summary.GetCount(); ++i) {
        if (summary.GetItem(i)->Installed)
            installed.append(summary.GetItem(i)->TargetFile);
    }
    if (!FSilent) {
        Succeeded(this, result);
        FInstallationSummary->Execute(&summary, CurrentLanguage(), FSettings);
    }
    // After the dialog, so that the page shows what its Change Target and Delete Target left.
    FilesInstalled(installed, FSilent);
    return succeeded;
}

void TfrmMain::FilesInstalled(const QStringList& files, bool quiet)
{
    if (files.isEmpty())
        return;
    MapFilesInstalled(this, files, quiet);
    // Only a page that lists the game's files: another would lose what the user has not saved.
    const TPageEntry* entry = FindPageEntry(FUi->pgMain->currentWidget()->objectName());
    if (entry && entry->ListsGameFiles)
        pgMainChange();
}

bool TfrmMain::InstallFiles(const QStringList& files, bool silent, bool overwriteDefault)
{
    FSilent = silent;
    FOverwriteDefault = overwriteDefault;
    return RunInstall(files, false);
}

bool TfrmMain::InstallFromArchive(const QString& fileName, bool silent, bool overwriteDefault,
                                  bool asArchive)
{
    FSilent = silent;
    FOverwriteDefault = overwriteDefault;
    return RunInstall({fileName}, asArchive);
}

bool TfrmMain::InstallFromFolder(const QString& folder, bool recursive, bool silent)
{
    if (!DirExists(folder))
        return false;
    return InstallFilesDirect(
        FindFiles(WithTrailingSeparator(ResolveGamePath(folder)), QStringLiteral("*.*"), recursive),
        silent);
}

bool TfrmMain::InstallFilesDirect(const QStringList& files, bool silent)
{
    if (!AllFilesExist(files))
        return false;
    FSilent = silent;
    return RunInstall(files, false);
}

void TfrmMain::ExportToArchive(const QTreeWidget* listView, const QString& folder)
{
    QStringList files;
    GetSelectedFiles(&files, listView, folder);
    if (files.isEmpty())
        return;
    TFileDialogOptions options =
        TransferPrompt(TDialogType::Common_Dialog_SelectArchive,
                       TDialogType::Common_Filter_ZipFiles, QStringLiteral("zip"));
    // An archive that is there is added to, not replaced: there is nothing to confirm.
    options.ConfirmOverwrite = false;
    const QString archive = Dialogs().SaveFile(this, options);
    if (archive.isEmpty())
        return;
    FArchiveInspector->show();
    FArchiveInspector->repaint();
    FArchiveInspector->AddFilesToArchive(archive, files);
    FArchiveInspector->CloseArchive();
    FArchiveInspector->hide();
}

void TfrmMain::ImportFromArchive()
{
    const TFileDialogOptions options =
        TransferPrompt(TDialogType::Common_Dialog_SelectArchive,
                       TDialogType::Common_Filter_ZipFiles, QStringLiteral("zip"));
    const QStringList chosen = Dialogs().OpenFiles(this, options);
    if (!chosen.isEmpty())
        InstallFromArchive(chosen.first(), false, true);
}

void TfrmMain::MeunInstallUTContentFromArchiveClick()
{
    if (!CheckGamePath())
        return;
    TFileDialogOptions options = TransferPrompt(TDialogType::Common_Dialog_SelectArchive,
                                                TDialogType::Common_Filter_ZipFiles);
    options.MultiSelect = true;
    const QStringList chosen = Dialogs().OpenFiles(this, options);
    if (chosen.isEmpty())
        return;
    QStringList archives;
    for (const QString& file : chosen) {
        if (TAddonInstaller::IsArchive(file))
            archives << file;
    }
    InstallFiles(archives, false, true);
}

void TfrmMain::MeunInstallUTContentFromDirClick()
{
    if (!CheckGamePath())
        return;
    QString folder = FFolders.TransferDir();
    if (Dialogs().BrowseForFolder(this, GetLangText(TDialogType::Common_Dialog_SelectDir),
                                  folder) &&
        DirExists(folder))
        InstallFromFolder(folder, false, false);
}

void TfrmMain::MeunInstallUTContentFromFileClick()
{
    if (!CheckGamePath())
        return;
    TFileDialogOptions options =
        TransferPrompt(TDialogType::Common_Dialog_SelectFile, TDialogType::Common_Filter_AllFiles);
    options.MultiSelect = true;
    const QStringList chosen = Dialogs().OpenFiles(this, options);
    QStringList files;
    for (const QString& file : chosen) {
        if (!TAddonInstaller::IsArchive(file))
            files << file;
    }
    InstallFilesDirect(files, false);
}

bool TfrmMain::PlayDemo(const QString& fileName)
{
    if (fileName.isEmpty() || !GameFileExists(fileName))
        return false;
    const TResult<void> prepared =
        PrepareDemoPlayback(this, fileName, FSettings->GetPath(TMapPaths::mpDemos),
                            FSettings->GetPath(TMapPaths::mpSystem));
    if (!prepared) {
        // Playing the demo of that name already there, or none, would not be what was chosen.
        if (prepared.Error().Code != TErrorCode::ecNotFound)
            ShowError(this, prepared.Error().Message);
        return false;
    }
    if (TDemoPage* page = DemoPage())
        page->SetViewingDemo(true);
    auto* thread =
        new TShellExecThread(JoinPath(FSettings->GetPath(TMapPaths::mpSystem), FSettings->ExeName),
                             QStringLiteral("-exec=") + DemoScriptName(), this);
    thread->SetOnTerminate(this, [this, thread] { DemoThreadTerminate(thread); });
    thread->SetFreeOnTerminate(true);
    FDemoThread = thread;
    thread->start();
    return true;
}

void TfrmMain::DemoThreadTerminate(const TShellExecThread* ended)
{
    // An earlier demo's game may end while a later one plays.
    if (ended == FDemoThread) {
        FDemoThread = nullptr;
        if (TDemoPage* page = DemoPage())
            page->SetViewingDemo(false);
    }
    if (const QString error = ended->StartError(); !error.isEmpty())
        ReportStartError(error);
}

void TfrmMain::ExitDemoView()
{
    if (FDemoThread)
        FDemoThread->SetAbort(true);
}

TDemoPage* TfrmMain::DemoPage() const
{
    return qobject_cast<TDemoPage*>(PageIn(FUi->tbDemoManager));
}

void TfrmMain::MenuPlayDemoClick()
{
    if (!CheckGamePath())
        return;
    TFileDialogOptions options =
        TDemoPage::DemoFileOptions(*this, TDialogType::Common_Dialog_SelectFile);
    options.InitialDir = FFolders.TransferDir();
    const QStringList chosen = Dialogs().OpenFiles(this, options);
    if (!chosen.isEmpty())
        PlayDemo(chosen.first());
}

void TfrmMain::MenuPlayUT2003Click()
{
    if (!CheckGamePath())
        return;
    StartOrReport(
        ResolveGamePath(FSettings->UTDir + QStringLiteral("System/") + FSettings->ExeName), {});
}

void TfrmMain::MenuServerPackageEditorClick()
{
    if (!CheckGamePath())
        return;
    ServerPackages()->Load();
    FServerPackageEditor->Execute();
}

void TfrmMain::EditServerPackages()
{
    MenuServerPackageEditorClick();
}

void TfrmMain::LoadIniFile(const QString& fileName)
{
    if (auto* page = qobject_cast<TIniEditorPage*>(PageIn(FUi->tbINIEditor)))
        page->LoadIniFile(fileName);
}

void TfrmMain::MenuExitClick()
{
    close();
}

void TfrmMain::MenuHelpFileClick()
{
    if (const TLanguage* language = CurrentLanguage())
        OpenOrReport(FFolders.DocumentFile(language->Readme()));
}

void TfrmMain::MenuChangeLogClick()
{
    if (const TLanguage* language = CurrentLanguage())
        OpenOrReport(FFolders.DocumentFile(language->Changelog()));
}

void TfrmMain::MenuAboutClick()
{
    ShowPage(QStringLiteral("tbAbout"));
}

void TfrmMain::MenuCheckForUpdatesClick()
{
    if (auto* link = findChild<TLinkLabel*>(QStringLiteral("lbAbout_Updates")))
        link->Navigate();
}

TUpdateAddresses TfrmMain::UpdateAddresses() const
{
    return FUpdateCheck.Addresses(FSettings->ProjectID, GetVersionNumber());
}

TResult<bool> TfrmMain::CheckForUpdate()
{
    return FUpdateCheck.Check(FSettings->ProjectID, GetVersionNumber());
}

void TfrmMain::MenuCacheClick()
{
    FUi->MenuCacheEnabled->setChecked(FSettings->EnableMapManagerCache);
}

void TfrmMain::MenuCacheEnabledClick()
{
    FSettings->EnableMapManagerCache = !FSettings->EnableMapManagerCache;
    // The menu and the pages follow from the settings' notice.
    if (!Succeeded(this, FSettings->SaveToFile()))
        return;
    if (FSettings->EnableMapManagerCache &&
        Dialogs().MessageBox(this, GetLangText(TDialogType::Common_Confirmation),
                             GetLangText(TDialogType::Common_Update_Cache),
                             TMsgDlgType::mtConfirmation, mbYes | mbNo) == TModalResult::mrYes)
        UpdateMapCache();
}

void TfrmMain::MenuCacheUpdateClick()
{
    UpdateMapCache();
}

void TfrmMain::MenuArchiveInspectorClick()
{
    FArchiveInspector->ShowArchive(QString());
}

void TfrmMain::SetBusy(bool busy)
{
    FBusy = busy;
    setEnabled(!busy);
}

void TfrmMain::UpdateMapCache()
{
    // Without the game folder (a drive not mounted) there are no maps to read: a rebuild would
    // replace the cache of every map with an empty one.
    if (!CheckGamePath())
        return;
    FBusy = true;
    setEnabled(false);
    FUpdateCache->ShowBusy();
    const auto restore = qScopeGuard([this] {
        FUpdateCache->hide();
        setEnabled(true);
        FBusy = false;
    });
    // The new cache is written beside the old one and renamed over it, so a rebuild that fails
    // leaves the old cache as it was.
    TMapManager* maps = MapManager();
    maps->OnProgress = [this](int done, int total) {
        FUpdateCache->SetProgress(done, total);
        QCoreApplication::processEvents();
    };
    const auto dropProgress = qScopeGuard([maps] { maps->OnProgress = nullptr; });
    maps->ScanFolder(maps->MapsFolder());
    Succeeded(this, maps->SaveCache(FFolders.MapCacheFile()));
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // Closing while disabled for a long task would free what the task works on.
    if (FBusy) {
        event->ignore();
        return;
    }
    if (FArchiveInspector)
        FArchiveInspector->close();
    QMainWindow::closeEvent(event);
}
