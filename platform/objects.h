#pragma once
// Outside objects created by their programmatic identifiers. Each identifier
// has a factory; a missing outside program fails when its object is created.
// Tests put their own factory in place of a real one.
#include <QString>
#include <functional>
#include <memory>

using ObjectFactory = std::function<std::shared_ptr<void>()>;

void RegisterObjectFactory(const QString& progId, ObjectFactory factory);
std::shared_ptr<void> CreateObjectUntyped(const QString& progId);

template <typename T> std::shared_ptr<T> CreateObject(const QString& progId)
{
    return std::static_pointer_cast<T>(CreateObjectUntyped(progId));
}
