#pragma once

#include <exception>

#include <QObject>
#include <QWidget>

#include "IDialogs.h"
#include "TIniFile.h"

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
