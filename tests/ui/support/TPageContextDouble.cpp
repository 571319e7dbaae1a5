#include "TPageContextDouble.h"

#include "IDialogs.h"
#include "KOVAVersion.h"
#include "PageTable.h"
#include "SystemImages.h"
#include "TAddonDeletionProposal.h"
#include "TEventManager.h"
#include "TIniEditorPage.h"
#include "TInstallationManagers.h"
#include "TKOVALanguage.h"
#include "TMapManager.h"
#include "TPageBase.h"
#include "TProgramFixture.h"
#include "TQtLanguageForm.h"
#include "TShellOperationDialogs.h"
#include "TSystemManager.h"
#include "TUTMap.h"
#include "uKOVA_Misc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

using namespace Qt::StringLiterals;

TPageContextDouble::TPageContextDouble(const TProgramFixture& fixture)
    : FFolders(fixture.AppDir())
    , FForms(std::make_shared<QList<ILanguageForm*>>())
    , FHost(std::make_unique<QWidget>())
{
    FHost->setObjectName(u"frmMain"_s);
    new QVBoxLayout(FHost.get());
    if (!FFolders.PrepareSettings())
        qFatal("TPageContextDouble: the user's settings cannot be made");
    FSettingsOwner = std::make_unique<TKOVASettings>(fixture.AppDir(), FFolders.SettingsFile());
    FSettings = FSettingsOwner.get();
    if (!FSettings->LoadFromFile())
        qFatal("TPageContextDouble: the fixture's settings do not load");

    FHostForm = std::make_unique<TQtLanguageForm>(FHost.get());
    FForms->append(FHostForm.get());
    FLanguages = std::make_unique<TKOVALanguage>(FForms, FFolders.LanguageDirs(), u"Lang"_s);
    FLanguages->SetItemIndex(FLanguages->IndexOfCode(FSettings->Language));
    if (!CurrentLanguage())
        qFatal("TPageContextDouble: the fixture's language is missing");
    FLanguages->SetOnLanguageLoaded([this](TLanguage*) {
        for (TPageBase* page : Pages())
            page->LanguageChanged();
    });

    FFolders.MakeUserFolders();
    FManagers = std::make_unique<TInstallationManagers>(&FSettings, FFolders);
    FManagers->Create();
    FSystemManager = std::make_unique<TSystemManager>(&FSettings, CurrentLanguage(),
                                                      QCoreApplication::applicationFilePath());
    FEventManager = std::make_unique<TEventManager>();
    FSettings->OnChanged = [this] {
        for (TPageBase* page : Pages())
            page->SettingsChanged();
    };
    // The file operations of the pages ask and report through the dialogs, as in the window.
    InstallShellOperationDialogs(FHost.get(), [this](TDialogType key) { return GetLangText(key); });
}

TPageContextDouble::~TPageContextDouble()
{
    SetShellOperationUi(nullptr);
    FSettings->OnChanged = nullptr;
    FHost.reset();
    FEventManager.reset();
    FManagers.reset();
}

TPageBase* TPageContextDouble::CreatePage(const QString& tabSheet)
{
    if (!FindPageEntry(tabSheet))
        qFatal("No page table entry for %s", qPrintable(tabSheet));
    // A holder per page, so that walking the table makes only this page.
    auto* holder = new QWidget(FHost.get());
    new QVBoxLayout(holder);
    auto* sheet = new QWidget(holder);
    sheet->setObjectName(tabSheet);
    holder->layout()->addWidget(sheet);
    FHost->layout()->addWidget(holder);
    CreatePages(*this, holder, *FEventManager);
    TPageBase* page = PageIn(sheet);
    if (!page)
        qFatal("The page table makes no page in %s", qPrintable(tabSheet));

    FHost->show();
    if (!QTest::qWaitForWindowExposed(FHost.get()))
        qWarning("The page's form was not exposed");
    CurrentLanguage()->Apply();
    FActiveSheet = tabSheet;
    if (const TEventMethod handler = FEventManager->Find(sheet))
        handler();
    return page;
}

QList<TPageBase*> TPageContextDouble::Pages() const
{
    return FHost ? FHost->findChildren<TPageBase*>() : QList<TPageBase*>();
}

TLanguage* TPageContextDouble::CurrentLanguage() const
{
    const int index = FLanguages->ItemIndex();
    return index >= 0 && index < FLanguages->GetCount() ? FLanguages->GetLanguage(index) : nullptr;
}

QString TPageContextDouble::GetLangText(TDialogType key) const
{
    const TLanguage* language = CurrentLanguage();
    return language
               ? language->GetDialogString(key).replace(QLatin1String("\r\n"), QLatin1String("\n"))
               : QString();
}

TAddonDeletionProposal& TPageContextDouble::AddonDeletionProposal() const
{
    if (!FSelection) {
        auto* self = const_cast<TPageContextDouble*>(this);
        FSelection = new TAddonDeletionProposal(*self, FHost.get());
        self->FSelectionForm = std::make_unique<TQtLanguageForm>(FSelection);
        FForms->append(FSelectionForm.get());
        if (TLanguage* language = CurrentLanguage())
            language->Apply();
    }
    return *FSelection;
}

bool TPageContextDouble::CheckGamePath()
{
    if (FSettings->IsValidUTDir(FSettings->UTDir))
        return true;
    ::Dialogs().ShowBalloonTip(FHost->findChild<QLineEdit*>(u"edConfigure_UT2003Path"_s),
                               GetLangText(TDialogType::Common_PathInvalid),
                               GetLangText(TDialogType::Common_UnableToLocateDirectory),
                               TBalloonIcon::biError);
    return false;
}

void TPageContextDouble::ShowPage(const QString& tabSheet)
{
    FOrders << u"ShowPage "_s + tabSheet;
    FActiveSheet = tabSheet;
    if (const TEventMethod handler = FEventManager->Find(FHost->findChild<QWidget*>(tabSheet)))
        handler();
}

void TPageContextDouble::RunGame(const TUTMap* map, const QString& options)
{
    FOrders << u"RunGame "_s + (map ? QFileInfo(map->FileName()).fileName() : u"-"_s) + options;
}

bool TPageContextDouble::ReloadSettings()
{
    FOrders << u"ReloadSettings"_s;
    const TResult<void> loaded = FSettings->LoadFromFile();
    if (!loaded)
        ::Dialogs().MessageBox(nullptr, u"Fatal Error"_s, loaded.Error().Message,
                               TMsgDlgType::mtError, mbOK);
    return bool(loaded);
}

void TPageContextDouble::RecreateManagers()
{
    FOrders << u"RecreateManagers"_s;
    FManagers->Free();
    FManagers->Create();
}

void TPageContextDouble::ApplyLanguage(int index)
{
    FOrders << u"ApplyLanguage %1"_s.arg(index);
    if (index < 0 || index >= FLanguages->GetCount())
        return;
    FLanguages->SetItemIndex(index);
    FLanguages->GetLanguage(index)->Apply();
}

void TPageContextDouble::LoadIniFile(const QString& fileName)
{
    FOrders << u"LoadIniFile "_s + fileName;
    if (auto* page =
            qobject_cast<TIniEditorPage*>(PageIn(FHost->findChild<QWidget*>(u"tbINIEditor"_s))))
        page->LoadIniFile(fileName);
}

void TPageContextDouble::pgMainChange()
{
    FOrders << u"pgMainChange"_s;
    RefreshActivePage();
}

void TPageContextDouble::RefreshActivePage()
{
    if (FActiveSheet.isEmpty())
        return;
    if (const TEventMethod handler = FEventManager->Find(FHost->findChild<QWidget*>(FActiveSheet)))
        handler();
}

void TPageContextDouble::SetBusy(bool busy)
{
    FOrders << u"SetBusy %1"_s.arg(busy ? 1 : 0);
}

TUpdateAddresses TPageContextDouble::UpdateAddresses() const
{
    return FUpdateCheck.Addresses(FSettings->ProjectID, GetVersionNumber());
}

TResult<bool> TPageContextDouble::CheckForUpdate()
{
    return FUpdateCheck.Check(FSettings->ProjectID, GetVersionNumber());
}

bool TPageContextDouble::InstallFromArchive(const QString& fileName, bool silent,
                                            bool overwriteDefault, bool asArchive)
{
    FOrders << u"InstallFromArchive %1 silent %2 overwrite %3 archive %4"_s.arg(fileName)
                   .arg(silent ? 1 : 0)
                   .arg(overwriteDefault ? 1 : 0)
                   .arg(asArchive ? 1 : 0);
    return true;
}

void TPageContextDouble::ExportToArchive(const QTreeWidget* listView, const QString& folder)
{
    QStringList files;
    GetSelectedFiles(&files, listView, folder);
    if (files.isEmpty())
        return;
    QStringList names;
    for (const QString& file : files)
        names << QFileInfo(file).fileName();
    FOrders << u"ExportToArchive %1 %2"_s.arg(folder, names.join(QLatin1Char(' ')));
}

bool TPageContextDouble::PlayDemo(const QString& fileName)
{
    FOrders << u"PlayDemo "_s + fileName;
    return true;
}
