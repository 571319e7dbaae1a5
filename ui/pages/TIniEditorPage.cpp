#include "TIniEditorPage.h"
#include "ui_TIniEditorPage.h"

#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "TIniFile.h"
#include "TKOVASettings.h"
#include "uKOVA_Misc.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace {

// Which line of its key name in the section a key node stands for.
constexpr int KOccurrenceRole = Qt::UserRole + 1;

// The section a node belongs to: its own text for a section node, its parent's for a key node.
QString SectionOf(const QTreeWidgetItem* node)
{
    return node->parent() ? node->parent()->text(0) : node->text(0);
}

// The key name of a key node: the text before its first "=".
QString KeyNameOf(const QTreeWidgetItem* node)
{
    QString name;
    ExtractNameOrValue(node->text(0), false, name);
    return name;
}

int OccurrenceOf(const QTreeWidgetItem* node)
{
    return node->data(0, KOccurrenceRole).toInt();
}

bool HoldsLineBreak(const QString& name)
{
    return name.contains(u'\n') || name.contains(u'\r');
}

// Sorts the children of Parent, and theirs, by text without regard to letter case; equal texts
// keep their order.
void SortChildren(QTreeWidgetItem* parent)
{
    QList<QTreeWidgetItem*> children = parent->takeChildren();
    std::stable_sort(children.begin(), children.end(),
                     [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
                         return a->text(0).compare(b->text(0), Qt::CaseInsensitive) < 0;
                     });
    for (QTreeWidgetItem* child : children)
        SortChildren(child);
    parent->addChildren(children);
}

} // namespace

TIniEditorPage::TIniEditorPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TIniEditorPage>())
{
    FUi->setupUi(this);
    // Nothing is named or read yet: the boxes start empty rather than on their first item.
    FUi->cbINI_FileName->setCurrentIndex(-1);
    FUi->cbINI_EditValue->setCurrentIndex(-1);
    // Long lines ("ServerCache=(...)") scroll sideways instead of being cut. The column is
    // fitted to the nodes shown when that changes; fitting at every change of a text would
    // measure thousands of lines at each Save.
    FUi->twINI_Content->header()->setStretchLastSection(false);
    connect(FUi->twINI_Content, &QTreeWidget::itemExpanded, this, &TIniEditorPage::FitColumn);
    connect(FUi->twINI_Content, &QTreeWidget::itemCollapsed, this, &TIniEditorPage::FitColumn);

    FPopup = new QMenu(this);
    FPopup->setObjectName(QStringLiteral("IniEditorPopUp"));
    FPopup->addAction(FUi->INI_AddSection);
    FPopup->addAction(FUi->INI_DeleteSection);
    FPopup->addAction(FUi->INI_RenameSection);
    FPopup->addSeparator();
    FPopup->addAction(FUi->INI_AddValue);
    FPopup->addAction(FUi->INI_DeleteValue);
    FPopup->addSeparator();
    FPopup->addAction(FUi->INI_Sort);
    FUi->INI_AddSection->setIcon(KOVAIcon(kiAddSection));
    FUi->INI_DeleteSection->setIcon(KOVAIcon(kiDeleteSection));
    FUi->INI_RenameSection->setIcon(KOVAIcon(kiRename));

    ConnectGuarded(FUi->btnINI_OpenFile, &QPushButton::clicked, this,
                   &TIniEditorPage::btnINI_OpenFileClick);
    // Only a choice from the list opens a fixed item; typed text waits for Open.
    ConnectGuarded(FUi->cbINI_FileName, &QComboBox::activated, this,
                   &TIniEditorPage::cbINI_FileNameSelect);
    ConnectGuarded(FUi->btnINI_Browse, &QPushButton::clicked, this,
                   &TIniEditorPage::btnINI_BrowseClick);
    ConnectGuarded(FUi->twINI_Content, &QTreeWidget::itemSelectionChanged, this,
                   &TIniEditorPage::twINI_ContentChange);
    ConnectGuarded(FUi->btnINI_SaveValue, &QPushButton::clicked, this,
                   &TIniEditorPage::btnINI_SaveValueClick);
    ConnectGuarded(FUi->btnINI_ResetValue, &QPushButton::clicked, this,
                   &TIniEditorPage::btnINI_ResetValueClick);
    ConnectGuarded(FUi->btnINI_SaveSection, &QPushButton::clicked, this,
                   &TIniEditorPage::btnINI_SaveSectionClick);
    ConnectGuarded(FUi->btnINI_ResetSection, &QPushButton::clicked, this,
                   &TIniEditorPage::btnINI_ResetSectionClick);
    ConnectGuarded(FPopup, &QMenu::aboutToShow, this, &TIniEditorPage::IniEditorPopUpPopup);
    ConnectGuarded(FUi->INI_AddSection, &QAction::triggered, this,
                   &TIniEditorPage::INI_RenameSectionClick);
    ConnectGuarded(FUi->INI_DeleteSection, &QAction::triggered, this,
                   &TIniEditorPage::INI_DeleteSectionClick);
    ConnectGuarded(FUi->INI_RenameSection, &QAction::triggered, this,
                   &TIniEditorPage::INI_RenameSectionItemClick);
    ConnectGuarded(FUi->INI_AddValue, &QAction::triggered, this,
                   &TIniEditorPage::INI_AddValueClick);
    ConnectGuarded(FUi->INI_DeleteValue, &QAction::triggered, this,
                   &TIniEditorPage::INI_DeleteValueClick);
    ConnectGuarded(FUi->INI_Sort, &QAction::triggered, this, &TIniEditorPage::INI_SortClick);
    connect(FUi->twINI_Content, &QWidget::customContextMenuRequested, this,
            &TIniEditorPage::ShowPopup);
    FUi->cbINI_FileName->installEventFilter(this);
}

TIniEditorPage::~TIniEditorPage() = default;

bool TIniEditorPage::eventFilter(QObject* watched, QEvent* event)
{
    // Qt takes typed text that matches an item, in any letter case, for a choice of that item
    // when the box is left or Return is pressed in it; it is none. The text is noted for the
    // selection handler until the event is handled. (A choice from the open list reaches the
    // list, not the box.)
    if (watched == FUi->cbINI_FileName) {
        const auto* key =
            event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
        if (event->type() == QEvent::FocusOut ||
            (key && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))) {
            FTypedName = FUi->cbINI_FileName->lineEdit()->text();
            QTimer::singleShot(0, this, [this] { FTypedName.reset(); });
        }
    }
    return TPageBase::eventFilter(watched, event);
}

QTreeWidgetItem* TIniEditorPage::SelectedNode() const
{
    const QList<QTreeWidgetItem*> selected = FUi->twINI_Content->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TIniEditorPage::FitColumn()
{
    QTreeWidget* tree = FUi->twINI_Content;
    tree->resizeColumnToContents(0);
    if (tree->columnWidth(0) < tree->viewport()->width())
        tree->setColumnWidth(0, tree->viewport()->width());
}

void TIniEditorPage::ShowPopup(const QPoint& pos)
{
    FPopup->popup(FUi->twINI_Content->viewport()->mapToGlobal(pos));
}

void TIniEditorPage::LoadIniFile(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile())
        return;
    const TIniFile ini(fileName);
    QTreeWidget* tree = FUi->twINI_Content;
    tree->setUpdatesEnabled(false);
    tree->clear();
    // Built apart and added at once: one insertion for the whole tree.
    QList<QTreeWidgetItem*> sections;
    const QStringList names = ini.ReadSections();
    sections.reserve(names.size());
    for (const QString& name : names) {
        auto* section = new QTreeWidgetItem(QStringList(name));
        const QList<TIniKeyLine> lines = ini.ReadKeyLines(name);
        QList<QTreeWidgetItem*> keys;
        keys.reserve(lines.size());
        for (const TIniKeyLine& line : lines) {
            auto* key = new QTreeWidgetItem(QStringList(line.Name + u'=' + line.Value));
            key->setData(0, KOccurrenceRole, line.Occurrence);
            keys.append(key);
        }
        section->addChildren(keys);
        sections.append(section);
    }
    tree->addTopLevelItems(sections);
    FitColumn();
    tree->setUpdatesEnabled(true);

    FIniFileName = fileName;
    FUi->cbINI_FileName->setEditText(fileName);
    FUi->gbINI_EditSection->setEnabled(false);
    FUi->gbINI_EditValue->setEnabled(false);
}

void TIniEditorPage::btnINI_OpenFileClick()
{
    LoadIniFile(FUi->cbINI_FileName->currentText());
}

void TIniEditorPage::cbINI_FileNameSelect()
{
    if (FTypedName) {
        FUi->cbINI_FileName->setEditText(*FTypedName);
        return;
    }
    const int index = FUi->cbINI_FileName->currentIndex();
    if (index < 0)
        return;
    const QString fileName = ResolveGamePath(JoinPath(
        FContext.Settings().GetPath(TMapPaths::mpSystem), FUi->cbINI_FileName->itemText(index)));
    LoadIniFile(fileName);
    FUi->cbINI_FileName->setEditText(fileName);
}

void TIniEditorPage::btnINI_BrowseClick()
{
    TFileDialogOptions options;
    options.Title = FContext.GetLangText(TDialogType::Common_Dialog_SelectINI);
    options.Filter = FContext.GetLangText(TDialogType::Common_Filter_INIFiles);
    options.DefaultExt = QStringLiteral("ini");
    options.InitialDir = FContext.Settings().UTDir;
    const QStringList files = FContext.Dialogs().OpenFiles(this, options);
    if (!files.isEmpty())
        LoadIniFile(files.first());
}

void TIniEditorPage::twINI_ContentChange()
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    const bool keyNode = node->parent() != nullptr;
    FUi->gbINI_EditSection->setEnabled(true);
    FUi->gbINI_EditValue->setEnabled(keyNode);
    FUi->cbINI_FileName->setEditText(FIniFileName);
    FUi->cbINI_EditValue->setEditText(QString());
    FUi->lbeINI_Section_Name->setText(SectionOf(node));
    if (keyNode) {
        // Read from the file, which another program may have changed since the load.
        FUi->cbINI_EditValue->setEditText(
            TIniFile(FIniFileName)
                .ReadValueAt(SectionOf(node), KeyNameOf(node), OccurrenceOf(node))
                .value_or(QString()));
    }
}

void TIniEditorPage::btnINI_SaveValueClick()
{
    QTreeWidgetItem* node = SelectedNode();
    if (!node || !node->parent())
        return;
    const QString key = KeyNameOf(node);
    const QString value = FUi->cbINI_EditValue->currentText();
    TIniFile(FIniFileName).WriteValueAt(SectionOf(node), key, OccurrenceOf(node), value);
    node->setText(0, key + u'=' + value);
    // A longer value may need a wider column; only this line is measured.
    QTreeWidget* tree = FUi->twINI_Content;
    const int width = tree->indentation() * 2 +
                      tree->fontMetrics().horizontalAdvance(node->text(0)) +
                      tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) * 4;
    if (width > tree->columnWidth(0))
        tree->setColumnWidth(0, width);
}

void TIniEditorPage::btnINI_ResetValueClick()
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node || !node->parent())
        return;
    QString value;
    ExtractNameOrValue(node->text(0), true, value);
    FUi->cbINI_EditValue->setEditText(value);
}

void TIniEditorPage::btnINI_SaveSectionClick()
{
    SaveSectionName(FUi->lbeINI_Section_Name->text());
}

void TIniEditorPage::btnINI_ResetSectionClick()
{
    if (const QTreeWidgetItem* node = SelectedNode())
        FUi->lbeINI_Section_Name->setText(SectionOf(node));
}

void TIniEditorPage::ShowError(TDialogType text)
{
    FContext.ShowError(this, FContext.GetLangText(text));
}

bool TIniEditorPage::AcceptNewName(QString& name, bool section)
{
    name = name.trimmed();
    if (name.isEmpty())
        return false;
    // Names that would not read back as the same section or key.
    const bool unfit =
        HoldsLineBreak(name) ||
        (section ? name.contains(u'[') || name.contains(u']')
                 : name.contains(u'=') || name.startsWith(u';') || name.startsWith(u'['));
    if (unfit) {
        ShowError(TDialogType::INIEditor_CreateSectionFailed);
        return false;
    }
    return true;
}

void TIniEditorPage::SaveSectionName(const QString& newName)
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    const QString oldName = SectionOf(node);
    QString name = newName;
    if (!AcceptNewName(name, true))
        return;
    const TIniFile ini(FIniFileName);
    if (ini.SectionExists(name)) {
        ShowError(TDialogType::INIEditor_CannotRenameSection);
        return;
    }
    RenameIniSection(ini, oldName, name);
    LoadIniFile(FIniFileName);
}

void TIniEditorPage::IniEditorPopUpPopup()
{
    const bool selected = SelectedNode() != nullptr;
    for (QAction* item : {FUi->INI_AddSection, FUi->INI_DeleteSection, FUi->INI_RenameSection,
                          FUi->INI_AddValue, FUi->INI_DeleteValue})
        item->setEnabled(selected);
    const QTreeWidget* tree = FUi->twINI_Content;
    FUi->INI_Sort->setEnabled(
        tree->topLevelItemCount() > 1 ||
        (tree->topLevelItemCount() == 1 && tree->topLevelItem(0)->childCount() > 0));
}

void TIniEditorPage::INI_RenameSectionClick()
{
    if (FIniFileName.isEmpty())
        return;
    const QString prompt = FContext.GetLangText(TDialogType::INIEditor_CreateSectionPrompt);
    QString name;
    if (!FContext.Dialogs().InputQuery(this, prompt, prompt, name) || !AcceptNewName(name, true))
        return;
    TIniFile ini(FIniFileName);
    if (ini.SectionExists(name)) {
        ShowError(TDialogType::INIEditor_CannotRenameSection);
        return;
    }
    // The section shows at the next load.
    ini.WriteString(name, QStringLiteral("DefaultValue"), QString());
}

void TIniEditorPage::INI_RenameSectionItemClick()
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    FUi->lbeINI_Section_Name->setText(SectionOf(node));
    FUi->gbINI_EditSection->setEnabled(true);
    FUi->lbeINI_Section_Name->setFocus();
    FUi->lbeINI_Section_Name->selectAll();
}

void TIniEditorPage::INI_DeleteSectionClick()
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    TIniFile(FIniFileName).EraseSection(SectionOf(node));
    LoadIniFile(FIniFileName);
}

void TIniEditorPage::INI_AddValueClick()
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    const QString section = SectionOf(node);
    const QString prompt = FContext.GetLangText(TDialogType::INIEditor_AddValuePrompt);
    QString name;
    if (!FContext.Dialogs().InputQuery(this, prompt, prompt, name) || !AcceptNewName(name, false))
        return;
    // A name the section holds already gets a line of its own: its other lines keep their
    // values.
    TIniFile(FIniFileName).AddKeyLine(section, name, QString());
    LoadIniFile(FIniFileName);
}

void TIniEditorPage::INI_DeleteValueClick()
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node || !node->parent())
        return;
    TIniFile(FIniFileName).DeleteKeyAt(SectionOf(node), KeyNameOf(node), OccurrenceOf(node));
    LoadIniFile(FIniFileName);
}

void TIniEditorPage::INI_SortClick()
{
    QTreeWidget* tree = FUi->twINI_Content;
    QTreeWidgetItem* selected = SelectedNode();
    // Taking the nodes out drops the selection; it comes back without a second selection
    // notice, as the edit groups still show that node.
    const QSignalBlocker blocker(tree);
    tree->setUpdatesEnabled(false);
    SortChildren(tree->invisibleRootItem());
    tree->setUpdatesEnabled(true);
    if (selected) {
        tree->setCurrentItem(selected);
        tree->scrollToItem(selected);
    }
}
