// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace vantrel {

// Whether the desktop starts Vantrel when the user logs in.
class LoginItem
{
public:
    virtual ~LoginItem() = default;
    virtual bool isEnabled() const = 0;
    // Returns the error text when the change could not be made.
    virtual std::optional<QString> setEnabled(bool enabled) = 0;
};

// The XDG autostart entry: a desktop file in $XDG_CONFIG_HOME/autostart.
class XdgAutostartLoginItem : public LoginItem
{
public:
    XdgAutostartLoginItem(QString desktopFilePath, QString executable);

    bool isEnabled() const override;
    std::optional<QString> setEnabled(bool enabled) override;

private:
    QString m_path;
    QString m_executable;
};

} // namespace vantrel
