#include "TShellOperationDialogs.h"

#include "IDialogs.h"
#include "TQtDialogs.h"
#include "TemplateFormat.h"
#include "uKOVA_Misc.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include <memory>

namespace {

// How long an operation runs before its progress window appears.
constexpr qint64 KProgressDelayMs = 700;

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

// The progress window of one operation, and the owner of its questions.
//
// The window is shown only from the operation's own progress calls, never by a timer: a timer
// would fire inside the event loop of an open question and put a window-modal progress window
// over it, and the two would then block each other for good. Once the window shows, the
// questions are its children, so they come above it and it never blocks them.
class TOperationProgress final
{
public:
    explicit TOperationProgress(QWidget* owner)
        : FOwner(owner)
    {
        FClock.start();
    }
    TOperationProgress(const TOperationProgress&) = delete;
    TOperationProgress& operator=(const TOperationProgress&) = delete;

    // The window a question or an error of the operation belongs to.
    QWidget* QuestionOwner() const
    {
        if (FDialog && FDialog->isVisible())
            return FDialog.get();
        return FOwner;
    }

    // False once the user cancelled.
    bool Update(qint64 done, qint64 total)
    {
        const int value = total > 0 ? int(qBound(qint64(0), done * 1000 / total, qint64(1000))) : 0;
        if (!FDialog) {
            if (!FOwner || FClock.elapsed() < KProgressDelayMs)
                return true;
            QWidget* parent = DialogParent(FOwner);
            FDialog = std::make_unique<QProgressDialog>(parent);
            FDialog->setWindowTitle(DialogCaption(QString()));
            FDialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
            FDialog->setRange(0, 1000);
            // A window that hid itself at the end of the range would be shown again by its own
            // timer.
            FDialog->setAutoReset(false);
            FDialog->setAutoClose(false);
            FDialog->setMinimumDuration(0);
            FDialog->setValue(value);
            FDialog->show();
        }
        // The window is modal, so this also lets it paint and take the user's Cancel.
        FDialog->setValue(value);
        return !FDialog->wasCanceled();
    }

private:
    QPointer<QWidget> FOwner;
    QElapsedTimer FClock;
    std::unique_ptr<QProgressDialog> FDialog;
};

} // namespace

void InstallShellOperationDialogs(QWidget* fallbackOwner,
                                  std::function<QString(TDialogType)> languageText)
{
    QPointer<QWidget> fallback(fallbackOwner);
    SetShellOperationUi([fallback, languageText](TWindowHandle owner, quint16 flags) {
        QWidget* parent = OwnerWidget(owner, fallback);
        const bool showProgress = !(flags & FOF_SILENT) && parent;
        // Lives as long as the operation's callbacks.
        const auto progress = std::make_shared<TOperationProgress>(showProgress ? parent : nullptr);
        const auto questionOwner = [progress, parent] {
            QWidget* owner = progress->QuestionOwner();
            return owner ? owner : parent;
        };
        TFileOpCallbacks callbacks;
        callbacks.AskReplace = [questionOwner, languageText](const QString&,
                                                             const QString& target) {
            const QString text =
                FormatTemplate(OrDefault(languageText(TDialogType::Common_OverwriteFile),
                                         QStringLiteral("The file %s already exists. Replace it?")),
                               {QFileInfo(target).fileName()});
            switch (Dialogs().MessageBox(
                questionOwner(), languageText(TDialogType::Common_Confirmation), text,
                TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel | mbYesToAll)) {
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
        callbacks.ConfirmDelete = [questionOwner, languageText](const QStringList& paths, bool) {
            const QString names = paths.size() == 1 ? QFileInfo(paths.first()).fileName()
                                                    : QString::number(paths.size());
            return Dialogs().MessageBox(
                       questionOwner(), languageText(TDialogType::Common_Confirmation),
                       QCoreApplication::translate("KOVA", "Delete %1?").arg(names),
                       TMsgDlgType::mtConfirmation, mbYes | mbNo) == TModalResult::mrYes;
        };
        callbacks.ReportError = [questionOwner, languageText](const TFileOpItem& item) {
            Dialogs().MessageBox(questionOwner(), languageText(TDialogType::Common_Error),
                                 QStringLiteral("%1\n%2").arg(item.Source, item.Error),
                                 TMsgDlgType::mtError, mbOK);
        };
        if (flags & FOF_NOERRORUI)
            callbacks.ReportError = nullptr;
        if (showProgress)
            callbacks.Progress = [progress](qint64 done, qint64 total) {
                return progress->Update(done, total);
            };
        return callbacks;
    });
}
