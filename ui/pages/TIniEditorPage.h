#pragma once

#include <memory>
#include <optional>

#include "TDialogType.h"
#include "TPageBase.h"

class QMenu;
class QTreeWidgetItem;

namespace Ui {
class TIniEditorPage;
}

// The INI editor page: any INI file as a tree of sections and their key lines, edited in place.
// Every operation reads or writes the file itself; the tree only shows it, and is read again
// after the operations that add or remove lines. A key node stands for one line of its key, so
// the repeated keys of the game's files ("ServerPackages=", "Paths=") are edited line by line.
class TIniEditorPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TIniEditorPage)

public:
    TIniEditorPage(IPageContext& context, QWidget* parent);
    ~TIniEditorPage() override;

    // The page has no refresh handler: shown again, it keeps the tree as it was left.
    void RefreshPage() override {}

    // Shows the file in the tree; a name that is no file changes nothing.
    void LoadIniFile(const QString& fileName);
    // Renames the section of the selected node.
    void SaveSectionName(const QString& newName);
    // The file the tree shows; empty before the first load.
    const QString& IniFileName() const { return FIniFileName; }

    void btnINI_OpenFileClick();
    void cbINI_FileNameSelect();
    void btnINI_BrowseClick();
    void twINI_ContentChange();
    void btnINI_SaveValueClick();
    void btnINI_ResetValueClick();
    void btnINI_SaveSectionClick();
    void btnINI_ResetSectionClick();
    void IniEditorPopUpPopup();
    // Bound to "Add Section..." (the handler keeps its old name).
    void INI_RenameSectionClick();
    // Bound to "Rename Section": leads to the section edit, whose Save renames.
    void INI_RenameSectionItemClick();
    void INI_DeleteSectionClick();
    void INI_AddValueClick();
    void INI_DeleteValueClick();
    void INI_SortClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The selected node; null for none.
    QTreeWidgetItem* SelectedNode() const;
    // A new name's check: false when it is empty after trimming (nothing to do), or when the
    // file cannot hold it (after an error box). Name is trimmed on the way.
    bool AcceptNewName(QString& name, bool section);
    void ShowPopup(const QPoint& pos);
    // An error box with the caption Common_Error and the text of that key.
    void ShowError(TDialogType text);
    // The column as wide as the widest node shown, at least as wide as the tree.
    void FitColumn();

    std::unique_ptr<Ui::TIniEditorPage> FUi;
    QMenu* FPopup = nullptr;
    QString FIniFileName;
    // While the file box takes typed text (Return, leaving it): the text as typed.
    std::optional<QString> FTypedName;
};
