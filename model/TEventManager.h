#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// A page's refresh handler; empty when there is none.
using TEventMethod = std::function<void()>;

// One entry of the registry: a key object (a page of the main window), compared by identity,
// and the handler that refreshes it.
class TEventHandler final
{
public:
    TEventHandler(const QObject* key, TEventMethod method)
        : FKey(key)
        , FMethod(std::move(method))
    {}

    const QObject* Key() const { return FKey; }
    const TEventMethod& Method() const { return FMethod; }

private:
    const QObject* FKey;
    TEventMethod FMethod;
};

// The registry of page refresh handlers, in registration order. Entries stay until the registry
// goes; a key may be registered more than once (the first entry wins). GUI thread only.
class TEventManager final
{
public:
    TEventManager() = default;
    TEventManager(const TEventManager&) = delete;
    TEventManager& operator=(const TEventManager&) = delete;

    void Register(const QObject* key, TEventMethod method);
    // The registry owns the handler from now on; nothing for no handler.
    void Add(std::unique_ptr<TEventHandler> handler);
    int GetCount() const { return static_cast<int>(FItems.size()); }
    // Raises std::out_of_range for an index outside the list.
    TEventHandler* GetItem(int index) const;
    // The handler of the first entry whose key is Key; an empty method when there is none.
    TEventMethod Find(const QObject* key) const;

private:
    std::vector<std::unique_ptr<TEventHandler>> FItems;
};
