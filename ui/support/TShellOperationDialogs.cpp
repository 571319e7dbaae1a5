#include "TShellOperationDialogs.h"

#include "IDialogs.h"
#include "TemplateFormat.h"
#include "uKOVA_Misc.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include <memory>

namespace {

QWidget* OwnerWidget(TWindowHandle owner, QWidget* fallback)
{
    if (auto* widget = qobject_cast<QWidget*>(owner))
        return widget;
    return fallback;
}

QString OrDefault(const QString& text, const QString& fallback)
{
    return text.isEmpty() ? fallback : text;
}

} // namespace

void InstallShellOperationDialogs(QWidget* fallbackOwner,
                                  std::function<QString(TDialogType)> languageText)
{
    QPointer<QWidget> fallback(fallbackOwner);
    SetShellOperationUi([fallback, languageText](TWindowHandle owner, quint16 flags) {
        QWidget* parent = OwnerWidget(owner, fallback);
        TFileOpCallbacks callbacks;
        callbacks.AskReplace = [parent, languageText](const QString&, const QString& target) {
            const QString text =
                FormatTemplate(OrDefault(languageText(TDialogType::Common_OverwriteFile),
                                         QStringLiteral("The file %s already exists. Replace it?")),
                               {QFileInfo(target).fileName()});
            switch (Dialogs().MessageBox(parent, languageText(TDialogType::Common_Confirmation),
                                         text, TMsgDlgType::mtConfirmation,
                                         mbYes | mbNo | mbCancel | mbYesToAll)) {
            case TModalResult::mrYes:
                return TReplaceAnswer::raYes;
            case TModalResult::mrYesToAll:
                return TReplaceAnswer::raYesToAll;
            case TModalResult::mrNo:
                return TReplaceAnswer::raNo;
            default:
                return TReplaceAnswer::raCancel;
            }
        };
        callbacks.ConfirmDelete = [parent, languageText](const QStringList& paths, bool) {
            const QString names = paths.size() == 1 ? QFileInfo(paths.first()).fileName()
                                                    : QString::number(paths.size());
            return Dialogs().MessageBox(
                       parent, languageText(TDialogType::Common_Confirmation),
                       QCoreApplication::translate("KOVA", "Delete %1?").arg(names),
                       TMsgDlgType::mtConfirmation, mbYes | mbNo) == TModalResult::mrYes;
        };
        callbacks.ReportError = [parent, languageText](const TFileOpItem& item) {
            Dialogs().MessageBox(parent, languageText(TDialogType::Common_Error),
                                 QStringLiteral("%1\n%2").arg(item.Source, item.Error),
                                 TMsgDlgType::mtError, mbOK);
        };
        if (flags & FOF_NOERRORUI)
            callbacks.ReportError = nullptr;
        if (!(flags & FOF_SILENT) && parent) {
            // The progress window appears only for operations that take a while, and goes with
            // the operation's callbacks.
            auto progress = std::make_shared<std::unique_ptr<QProgressDialog>>();
            callbacks.Progress = [parent, progress](qint64 done, qint64 total) {
                if (!*progress) {
                    *progress = std::make_unique<QProgressDialog>(parent);
                    (*progress)->setMinimumDuration(700);
                    (*progress)->setWindowModality(Qt::WindowModal);
                    (*progress)->setRange(0, 1000);
                }
                QProgressDialog* dialog = progress->get();
                const int scale = total > 0 ? int(done * 1000 / total) : 0;
                dialog->setValue(qBound(0, scale, 1000));
                return !dialog->wasCanceled();
            };
        }
        return callbacks;
    });
}
