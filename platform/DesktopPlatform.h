// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

namespace vantrel {

// Creates the desktop implementations of every platform service and installs them for the
// lifetime of this object. The application makes one after its QApplication exists; tests
// install fakes instead.
class DesktopPlatform
{
public:
    // `command` starts Vantrel (the launcher, for the login item); this program when empty.
    explicit DesktopPlatform(const QString& command = {});
    ~DesktopPlatform();
    DesktopPlatform(const DesktopPlatform&) = delete;
    DesktopPlatform& operator=(const DesktopPlatform&) = delete;

private:
    struct Services;
    std::unique_ptr<Services> m_services;
};

} // namespace vantrel
