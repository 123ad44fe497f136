// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;

namespace vantrel {

class Settings;

// One entry of a picker: what it shows and the value it stores.
struct IntChoice
{
    QString label;
    int value;
};

// Controls bound to the settings store. Each control shows its setting's current value, again
// after every change of any setting (so a change made elsewhere, by the status menu or a
// shortcut recorder, shows at once), and stores every edit the moment it is made. Refreshing
// never writes back.
class SettingsForm : public QObject
{
    Q_OBJECT
public:
    explicit SettingsForm(Settings& settings, QObject* parent = nullptr);

    Settings& settings() const { return m_settings; }

    // An on/off switch bound to a Bool setting.
    QCheckBox* toggle(const QString& label, bool (Settings::*read)() const, void (Settings::*write)(bool));
    QCheckBox* toggle(const QString& label, std::function<bool()> read, std::function<void(bool)> write);

    // A picker over `labels`. `currentIndex` says which one the stored value is, or none when the
    // stored value is among none of them: it then shows as an extra last entry titled
    // `otherLabel()`, and stays stored until the user picks another entry. `chose` stores the
    // value of the entry the user picked.
    QComboBox* picker(const QStringList& labels, std::function<std::optional<int>()> currentIndex,
        std::function<QString()> otherLabel, std::function<void(int)> chose);
    // A picker over whole numbers; `otherLabel` names a stored number that is not a choice.
    QComboBox* intPicker(const std::vector<IntChoice>& choices, int (Settings::*read)() const,
        void (Settings::*write)(int), std::function<QString(int)> otherLabel);

    // Runs `refresh` now and after every change of the settings.
    void onChange(std::function<void()> refresh);
    // Shows every setting again (also the ones read from the desktop, like launch at login).
    void refresh();

private:
    Settings& m_settings;
    std::vector<std::function<void()>> m_refreshers;
};

} // namespace vantrel
