#include "IPageContext.h"

#include "FolderList.h"
#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "KOVAIcons.h"
#include "ProgramFolders.h"
#include "TMapManager.h"
#include "TSystemManager.h"

#include <QTreeWidget>

#include <algorithm>

namespace {

// The folder a drag list stands for, kept on the list itself so it goes with the list.
const char* const KDragFolder = "kovaDragFolder";

} // namespace

void IPageContext::GetSelectedFiles(QStringList* list, const QTreeWidget* listView,
                                    const QString& folder)
{
    if (!list || !listView)
        return;
    const QString prefix = WithTrailingSeparator(folder);
    for (const QTreeWidgetItem* row : SelectedRows(listView))
        list->append(prefix + row->text(0));
}

void IPageContext::AddDragList(QTreeWidget* list, TMapPaths folder)
{
    if (list)
        list->setProperty(KDragFolder, static_cast<int>(folder));
}

bool IPageContext::DraggedFiles(const QObject* source, QStringList* files) const
{
    const auto* list = qobject_cast<const QTreeWidget*>(source);
    const QVariant folder = list ? list->property(KDragFolder) : QVariant();
    if (!folder.isValid())
        return false;
    GetSelectedFiles(files, list, Settings().GetPath(static_cast<TMapPaths>(folder.toInt())));
    return true;
}

TFileDialogOptions IPageContext::TransferPrompt(TDialogType title, TDialogType filter,
                                                const QString& defaultExt) const
{
    TFileDialogOptions options;
    options.Title = GetLangText(title);
    options.Filter = GetLangText(filter);
    options.DefaultExt = defaultExt;
    options.InitialDir = Folders().TransferDir();
    return options;
}

void IPageContext::ShowError(QWidget* owner, const QString& text)
{
    Dialogs().MessageBox(owner, GetLangText(TDialogType::Common_Error), text, TMsgDlgType::mtError,
                         mbOK);
}

void IPageContext::ShowInformation(QWidget* owner, const QString& text)
{
    Dialogs().MessageBox(owner, GetLangText(TDialogType::Common_Information), text,
                         TMsgDlgType::mtInformation, mbOK);
}

void IPageContext::MapFilesChanged(QWidget* owner, bool quiet)
{
    TMapManager* maps = MapManager();
    if (!maps)
        return;
    const TResult<void> updated = maps->AddChangedFiles();
    if (!quiet)
        Succeeded(owner, updated);
}

void IPageContext::MapFilesInstalled(QWidget* owner, const QStringList& files, bool quiet)
{
    if (std::any_of(files.begin(), files.end(), &TMapManager::IsMapFile))
        MapFilesChanged(owner, quiet);
}

bool IPageContext::AssociateDemoFiles(QWidget* owner)
{
    TSystemManager* manager = SystemManager();
    if (!manager)
        return false;
    const TResult<void> associated = manager->AssociateDemoFiles(KOVADemoFileImage(48));
    if (!associated) {
        ShowError(owner, associated.Error().Message);
        return false;
    }
    ShowInformation(owner, GetLangText(TDialogType::SysInteg_FileAssocChanged));
    return true;
}
