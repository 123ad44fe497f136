// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CaptureSurfaces.h"
#include "DesktopFakes.h"
#include "Fakes.h"
#include "FocusService.h"
#include "FolderDialog.h"
#include "HotKeys.h"
#include "RecordingSurfaces.h"
#include "Service.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QStyle>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace vantrel::test {

// Whether Vantrel may read the screen, as a test says; counts the requests.
class SwitchableCaptureAccess : public CaptureAccess
{
public:
    bool preflight() override { return granted; }
    bool request() override
    {
        ++requests;
        return granted;
    }
    bool canRefuse() const override { return true; }
    bool granted = true;
    int requests = 0;
};

// The desktop the settings and first-run windows meet: settings over memory, shortcuts that
// register with a fake desktop, a fake login item, folder chooser and screen access, and the
// capture surfaces recorded.
struct WindowFakes : DesktopFakes
{
    WindowFakes() { manager.registerAll(); }

    FakeKeyboardLayout layout;
    ScopedService<KeyboardLayout> layoutSlot {&layout};
    FakeGlobalHotKeys desktop;
    ScopedService<GlobalHotKeys> desktopSlot {&desktop};
    HotKeyManager manager;
    ScopedService<HotKeyManager> managerSlot {&manager};
    FakeLoginItem login;
    ScopedService<LoginItem> loginSlot {&login};
    FakeFolderDialog folders;
    ScopedService<FolderDialog> folderSlot {&folders};
    SwitchableCaptureAccess access;
    ScopedService<CaptureAccess> accessSlot {&access};
    RecordingSurfaces surfaces;
    ScopedService<CaptureSurfaces> surfacesSlot {&surfaces};
};

// Controls found by what they show, so that a wrong label is a missing control.
template <typename Widget> Widget* findByText(QWidget* root, const QString& text)
{
    Widget* found = nullptr;
    for (Widget* widget : root->findChildren<Widget*>()) {
        if (widget->text() == text) {
            EXPECT_EQ(found, nullptr) << "two controls read " << text.toStdString();
            found = widget;
        }
    }
    EXPECT_NE(found, nullptr) << "no control reads " << text.toStdString();
    return found;
}

// The field a form label stands before.
template <typename Widget> Widget* fieldOf(QWidget* root, const QString& label)
{
    QLabel* caption = findByText<QLabel>(root, label);
    if (!caption)
        return nullptr;
    auto* field = qobject_cast<Widget*>(caption->buddy());
    EXPECT_NE(field, nullptr) << label.toStdString() << " labels no control of the expected type";
    return field;
}

// Clicks a check box on its box, which sits at its leading edge whatever the font: its middle
// may lie past the end of a short label, where a click does nothing.
inline void clickCheckBox(QCheckBox* box)
{
    const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(indicator / 2 + 1, box->height() / 2));
}

inline QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

} // namespace vantrel::test
