#include "TQtDialogs.h"

#include "TBalloonTip.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QWindow>

#include <algorithm>

namespace {

struct TButtonMap
{
    TMsgDlgBtn Button;
    QMessageBox::StandardButton Standard;
    TModalResult Result;
};

const TButtonMap KButtons[] = {
    {mbYes, QMessageBox::Yes, TModalResult::mrYes},
    {mbNo, QMessageBox::No, TModalResult::mrNo},
    {mbOK, QMessageBox::Ok, TModalResult::mrOk},
    {mbCancel, QMessageBox::Cancel, TModalResult::mrCancel},
    {mbAbort, QMessageBox::Abort, TModalResult::mrAbort},
    {mbRetry, QMessageBox::Retry, TModalResult::mrRetry},
    {mbIgnore, QMessageBox::Ignore, TModalResult::mrIgnore},
    {mbYesToAll, QMessageBox::YesToAll, TModalResult::mrYesToAll},
    {mbNoToAll, QMessageBox::NoToAll, TModalResult::mrNoToAll},
};

QMessageBox::Icon IconOf(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning:
        return QMessageBox::Warning;
    case TMsgDlgType::mtError:
        return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
        return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
        return QMessageBox::Question;
    case TMsgDlgType::mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QWidget* DialogParent(QWidget* owner)
{
    QWidget* window = owner ? owner->window() : nullptr;
    // A minimised owner would hide its dialog with it.
    if (!window || !window->isVisible() || window->isMinimized() || !window->windowHandle())
        return nullptr;
    // A window that stays on top would stand over a dialog it does not own, whose modality then
    // blocks it unseen: better over a window the desktop may still move than under it.
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return owner;
    return window->windowHandle()->isExposed() ? owner : nullptr;
}

QString DialogCaption(const QString& caption)
{
    const QString title = ApplicationTitle();
    if (title.isEmpty() || caption == title)
        return caption;
    if (caption.isEmpty())
        return title;
    return caption + QStringLiteral(" \u2014 ") + title;
}

namespace {

QString StartPath(const TFileDialogOptions& options)
{
    if (options.FileName.isEmpty())
        return options.InitialDir;
    // A file name with its folder says where to start by itself.
    if (options.InitialDir.isEmpty() || QDir::isAbsolutePath(options.FileName))
        return options.FileName;
    return options.InitialDir + QLatin1Char('/') + options.FileName;
}

} // namespace

TModalResult TQtDialogs::MessageBox(QWidget* owner, const QString& caption, const QString& text,
                                    TMsgDlgType type, TMsgDlgButtons buttons)
{
    QMessageBox box(IconOf(type), DialogCaption(caption), text, QMessageBox::NoButton,
                    DialogParent(owner));
    for (const TButtonMap& map : KButtons) {
        if (buttons.testFlag(map.Button))
            box.addButton(map.Standard);
    }
    if (box.buttons().isEmpty())
        box.addButton(QMessageBox::Ok);
    box.exec();
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (const TButtonMap& map : KButtons) {
        if (map.Standard == clicked)
            return map.Result;
    }
    return buttons.testFlag(mbCancel) || !buttons.testFlag(mbNo) ? TModalResult::mrCancel
                                                                 : TModalResult::mrNo;
}

bool TQtDialogs::InputQuery(QWidget* owner, const QString& caption, const QString& prompt,
                            QString& value)
{
    QInputDialog dialog(DialogParent(owner));
    dialog.setWindowTitle(DialogCaption(caption));
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    // Wide enough for the caption, which the window manager would otherwise cut short; the
    // dialog keeps the size its layout asks for, so the edit is what gets wider.
    if (QLineEdit* edit = dialog.findChild<QLineEdit*>())
        edit->setMinimumWidth(
            std::max(320, dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()) + 120));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

QStringList TQtDialogs::OpenFiles(QWidget* owner, const TFileDialogOptions& options)
{
    QFileDialog dialog(DialogParent(owner), DialogCaption(options.Title), StartPath(options),
                       QtFilterFromFilter(options.Filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.MultiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(options.DefaultExt);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString TQtDialogs::SaveFile(QWidget* owner, const TFileDialogOptions& options)
{
    QFileDialog dialog(DialogParent(owner), DialogCaption(options.Title), StartPath(options),
                       QtFilterFromFilter(options.Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.ConfirmOverwrite);
    dialog.setDefaultSuffix(options.DefaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool TQtDialogs::BrowseForFolder(QWidget* owner, const QString& title, QString& path)
{
    const QString chosen =
        QFileDialog::getExistingDirectory(DialogParent(owner), DialogCaption(title), path);
    if (chosen.isEmpty())
        return false;
    path = chosen;
    return true;
}

void TQtDialogs::ShowBalloonTip(QLineEdit* edit, const QString& title, const QString& text,
                                TBalloonIcon icon)
{
    QStyle::StandardPixmap pixmap = QStyle::SP_CustomBase;
    if (icon == TBalloonIcon::biError)
        pixmap = QStyle::SP_MessageBoxCritical;
    else if (icon == TBalloonIcon::biWarning)
        pixmap = QStyle::SP_MessageBoxWarning;
    else if (icon == TBalloonIcon::biInfo)
        pixmap = QStyle::SP_MessageBoxInformation;
    TBalloonTip::ShowBalloon(
        edit, title, text,
        pixmap == QStyle::SP_CustomBase ? QIcon() : QApplication::style()->standardIcon(pixmap));
}

void TQtDialogs::ShowException(QWidget* owner, const QString& message)
{
    QMessageBox::critical(DialogParent(owner), DialogCaption(QString()), message);
}
