#pragma once

#include <QDeadlineTimer>
#include <QTimer>

#include <functional>

class QWidget;

// Runs an action on the next modal dialog shown while the watch lives (from the event loop the
// dialog runs), to fill it in and close it; a dialog the action leaves open is then closed. It
// looks until its deadline has passed by the clock, and never after its own end: held in a local
// of the test function, it cannot take the next test's dialog or write into a finished test's
// variables, however late the event loop turns under load.
class [[nodiscard]] TModalWatch final
{
public:
    TModalWatch(std::function<void(QWidget* dialog)> action, int timeoutMs);
    ~TModalWatch();
    TModalWatch(const TModalWatch&) = delete;
    TModalWatch& operator=(const TModalWatch&) = delete;

    // Whether the action ran.
    bool operator*() const { return FRan; }
    // Runs the events until the action ran or the deadline has passed; returns whether it ran.
    // A check that no dialog comes waits the whole time this way.
    bool Wait() const;

private:
    void Look();

    std::function<void(QWidget* dialog)> FAction;
    QDeadlineTimer FDeadline;
    QTimer FTimer;
    bool FRan = false;
};

// A watch that runs Action on the next modal dialog shown within TimeoutMs.
TModalWatch WhenModal(std::function<void(QWidget* dialog)> action, int timeoutMs = 10000);
