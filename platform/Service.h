// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cassert>

namespace vantrel {

// Process-wide slot for one platform service. The application installs the desktop
// implementation at start-up; tests install fakes of the same interface. The slot does not
// own what it holds, so whoever installs a service keeps it alive while it is installed.
template <typename Interface> class Service
{
public:
    static Interface& get()
    {
        assert(slot() && "platform service used before it was installed");
        return *slot();
    }
    static Interface* find() { return slot(); }
    static void install(Interface* service) { slot() = service; }

private:
    static Interface*& slot()
    {
        static Interface* current = nullptr;
        return current;
    }
};

// Installs a service for the lifetime of a scope and puts the previous one back afterwards.
template <typename Interface> class ScopedService
{
public:
    explicit ScopedService(Interface* service)
        : m_previous(Service<Interface>::find())
    {
        Service<Interface>::install(service);
    }
    ~ScopedService() { Service<Interface>::install(m_previous); }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;

private:
    Interface* m_previous;
};

} // namespace vantrel
