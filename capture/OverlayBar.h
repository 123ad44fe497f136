// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OverlayTypes.h"

#include <QWidget>

#include <functional>

class QLineEdit;
class QAbstractButton;

namespace vantrel {

// The floating toolbar of the all-in-one, record and scrolling overlays: the selection's size
// as two editable fields, the purpose's action buttons, and Cancel.
class OverlayBar : public QWidget
{
    Q_OBJECT
public:
    OverlayBar(OverlayPurpose purpose, QWidget* parent);

    void setSelectionSize(const QSizeF& points);
    QString widthText() const;
    QString heightText() const;
    QLineEdit* widthField() const { return m_width; }
    QLineEdit* heightField() const { return m_height; }
    // The buttons after the separator, in order, Cancel last.
    QList<QAbstractButton*> buttons() const { return m_buttons; }

Q_SIGNALS:
    void actionPressed(OverlayAction action);
    void fullscreenPressed();
    void cancelPressed();
    void sizeFieldChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QAbstractButton* addButton(const QString& title, const QString& symbol, bool primary);

    QLineEdit* m_width;
    QLineEdit* m_height;
    QList<QAbstractButton*> m_buttons;
};

} // namespace vantrel
