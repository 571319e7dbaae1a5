#include "TEventManager.h"

#include <stdexcept>
#include <string>

void TEventManager::Register(const QObject* key, TEventMethod method)
{
    Add(std::make_unique<TEventHandler>(key, std::move(method)));
}

void TEventManager::Add(std::unique_ptr<TEventHandler> handler)
{
    if (handler)
        FItems.push_back(std::move(handler));
}

TEventHandler* TEventManager::GetItem(int index) const
{
    if (index < 0 || index >= GetCount())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)].get();
}

TEventMethod TEventManager::Find(const QObject* key) const
{
    for (const auto& handler : FItems)
        if (handler->Key() == key)
            return handler->Method();
    return TEventMethod();
}
