#include "TModalWatch.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QWidget>

#include <utility>

namespace {

constexpr int KStepMs = 10;

} // namespace

TModalWatch::TModalWatch(std::function<void(QWidget* dialog)> action, int timeoutMs)
    : FAction(std::move(action))
    , FDeadline(timeoutMs)
{
    QObject::connect(&FTimer, &QTimer::timeout, &FTimer, [this] { Look(); });
    FTimer.start(KStepMs);
}

TModalWatch::~TModalWatch() = default;

bool TModalWatch::Wait() const
{
    while (!FRan && !FDeadline.hasExpired())
        QTest::qWait(KStepMs);
    return FRan;
}

void TModalWatch::Look()
{
    if (FDeadline.hasExpired()) {
        FTimer.stop();
        return;
    }
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible())
        return;
    FTimer.stop();
    const QPointer<QWidget> guard(dialog);
    FAction(dialog);
    FRan = true;
    // An action that stopped early (a failed check) must not leave the test hanging.
    if (guard && guard->isVisible()) {
        if (auto* modal = qobject_cast<QDialog*>(guard.data()))
            modal->reject();
        else
            guard->close();
    }
}

TModalWatch WhenModal(std::function<void(QWidget* dialog)> action, int timeoutMs)
{
    return TModalWatch(std::move(action), timeoutMs);
}
