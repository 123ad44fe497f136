// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsForm.h"

#include "Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>

namespace vantrel {

SettingsForm::SettingsForm(Settings& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
{
    connect(&m_settings, &Settings::changed, this, &SettingsForm::refresh);
}

QCheckBox* SettingsForm::toggle(const QString& label, bool (Settings::*read)() const, void (Settings::*write)(bool))
{
    Settings* settings = &m_settings;
    return toggle(
        label, [settings, read] { return (settings->*read)(); },
        [settings, write](bool value) { (settings->*write)(value); });
}

QCheckBox* SettingsForm::toggle(const QString& label, std::function<bool()> read, std::function<void(bool)> write)
{
    auto* box = new QCheckBox(label);
    box->setAccessibleName(label);
    connect(box, &QCheckBox::toggled, this, [write = std::move(write)](bool on) { write(on); });
    onChange([box, read = std::move(read)] {
        const QSignalBlocker blocker(box);
        box->setChecked(read());
    });
    return box;
}

QComboBox* SettingsForm::picker(const QStringList& labels, std::function<std::optional<int>()> currentIndex,
    std::function<QString()> otherLabel, std::function<void(int)> chose)
{
    auto* combo = new QComboBox;
    combo->addItems(labels);
    const int choices = int(labels.size());
    connect(combo, &QComboBox::currentIndexChanged, this, [chose = std::move(chose), choices](int index) {
        // The extra entry stands for the stored value itself: choosing it changes nothing.
        if (index >= 0 && index < choices)
            chose(index);
    });
    onChange([combo, choices, currentIndex = std::move(currentIndex), otherLabel = std::move(otherLabel)] {
        const QSignalBlocker blocker(combo);
        if (const std::optional<int> index = currentIndex()) {
            while (combo->count() > choices)
                combo->removeItem(combo->count() - 1);
            combo->setCurrentIndex(*index);
            return;
        }
        if (combo->count() == choices)
            combo->addItem(QString());
        combo->setItemText(choices, otherLabel());
        combo->setCurrentIndex(choices);
    });
    return combo;
}

QComboBox* SettingsForm::intPicker(const std::vector<IntChoice>& choices, int (Settings::*read)() const,
    void (Settings::*write)(int), std::function<QString(int)> otherLabel)
{
    QStringList labels;
    for (const IntChoice& choice : choices)
        labels.append(choice.label);
    Settings* settings = &m_settings;
    return picker(
        labels,
        [settings, read, choices]() -> std::optional<int> {
            const int stored = (settings->*read)();
            for (std::size_t i = 0; i < choices.size(); ++i) {
                if (choices[i].value == stored)
                    return int(i);
            }
            return std::nullopt;
        },
        [settings, read, otherLabel = std::move(otherLabel)] { return otherLabel((settings->*read)()); },
        [settings, write, choices](int index) { (settings->*write)(choices[std::size_t(index)].value); });
}

void SettingsForm::onChange(std::function<void()> refresh)
{
    refresh();
    m_refreshers.push_back(std::move(refresh));
}

void SettingsForm::refresh()
{
    for (const auto& refresher : m_refreshers)
        refresher();
}

} // namespace vantrel
