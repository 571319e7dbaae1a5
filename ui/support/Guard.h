#pragma once

#include <exception>

#include <QObject>
#include <QWidget>

#include "IDialogs.h"
#include "TResult.h"

// Runs an event handler. An error nobody handled ends the handler there and is shown in the
// exception box, the way the window system's own loop shows one; the program goes on. Qt's event
// loop must never see an exception.
template <class TAction> void RunGuarded(QWidget* owner, TAction&& action)
{
    try {
        action();
    } catch (const std::exception& error) {
        Dialogs().ShowException(owner, QString::fromUtf8(error.what()));
    } catch (...) {
        Dialogs().ShowException(owner, QObject::tr("An unexpected error occurred."));
    }
}

// Connects Signal of Sender to the handler Method of Receiver (which takes no arguments),
// through RunGuarded.
template <class TSender, class TSignal, class TReceiver>
QMetaObject::Connection ConnectGuarded(TSender* sender, TSignal signal, TReceiver* receiver,
                                       void (TReceiver::*method)())
{
    return QObject::connect(sender, signal, receiver, [receiver, method] {
        RunGuarded(receiver, [&] { (receiver->*method)(); });
    });
}

// Shows the error of a failed model operation in the exception box, as RunGuarded shows an
// unhandled one, and tells whether the operation succeeded. A user's No or Cancel is no error:
// it is not shown.
template <class T> bool Succeeded(QWidget* owner, const TResult<T>& result)
{
    if (result)
        return true;
    const TErrorCode code = result.Error().Code;
    if (code != TErrorCode::ecDeclined && code != TErrorCode::ecCancelled)
        Dialogs().ShowException(owner, result.Error().Message);
    return false;
}
