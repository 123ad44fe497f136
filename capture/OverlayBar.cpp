// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayBar.h"

#include "SymbolIcons.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

namespace vantrel {

namespace {

// The bar is always dark: symbols are drawn in white, as template images are.
QIcon whiteSymbol(const QString& name, qreal devicePixelRatio)
{
    if (symbolIcon(name).isNull())
        return {};
    return QIcon(tintedSymbol(name, 16, Qt::white, devicePixelRatio));
}

QFrame* separator(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFixedSize(1, 20);
    line->setStyleSheet(QStringLiteral("background: rgba(255,255,255,0.25);"));
    return line;
}

} // namespace

OverlayBar::OverlayBar(OverlayPurpose purpose, QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // Always dark, whatever the desktop's theme.
    setStyleSheet(QStringLiteral(
        "QLineEdit { background: rgba(255,255,255,0.10); color: white; border: 1px solid rgba(255,255,255,0.25);"
        " border-radius: 4px; padding: 2px; }"
        "QLabel { color: rgba(255,255,255,0.55); }"
        "QToolButton { color: white; background: rgba(255,255,255,0.10); border: none; border-radius: 6px;"
        " padding: 4px 8px; }"
        "QToolButton:hover { background: rgba(255,255,255,0.20); }"
        "QToolButton[primary=\"true\"] { background: #0a84ff; }"
        "QToolButton[primary=\"true\"]:hover { background: #3395ff; }"));

    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(6);
    layout->setContentsMargins(10, 6, 10, 6);

    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPixelSize(12);
    auto makeField = [&] {
        auto* field = new QLineEdit(QStringLiteral("0"), this);
        field->setFixedWidth(52);
        field->setAlignment(Qt::AlignCenter);
        field->setFont(digits);
        connect(field, &QLineEdit::editingFinished, this, &OverlayBar::sizeFieldChanged);
        return field;
    };
    m_width = makeField();
    m_height = makeField();
    layout->addWidget(m_width);
    layout->addWidget(new QLabel(QStringLiteral("\u00D7"), this));
    layout->addWidget(m_height);
    layout->addWidget(separator(this));

    auto action = [this](QAbstractButton* button, OverlayAction a) {
        connect(button, &QAbstractButton::clicked, this, [this, a] { Q_EMIT actionPressed(a); });
    };
    switch (purpose) {
    case OverlayPurpose::allInOne:
        action(addButton(tr("Capture"), QStringLiteral("camera"), true), OverlayAction::screenshot);
        action(addButton(tr("Text"), QStringLiteral("text.viewfinder"), false), OverlayAction::ocr);
        action(addButton(tr("Timer"), QStringLiteral("timer"), false), OverlayAction::selfTimer);
        action(addButton(tr("Scrolling"), QStringLiteral("arrow.up.and.down.text.horizontal"), false),
            OverlayAction::scrolling);
        layout->addWidget(separator(this));
        action(addButton(tr("Record"), QStringLiteral("record.circle"), false), OverlayAction::recordVideo);
        action(addButton(tr("GIF"), QStringLiteral("photo.stack"), false), OverlayAction::recordGIF);
        break;
    case OverlayPurpose::record: {
        action(addButton(tr("Record Video"), QStringLiteral("record.circle"), true), OverlayAction::recordVideo);
        action(addButton(tr("Record GIF"), QStringLiteral("photo.stack"), false), OverlayAction::recordGIF);
        QAbstractButton* fullscreen = addButton(tr("Fullscreen"), QStringLiteral("rectangle.dashed"), false);
        connect(fullscreen, &QAbstractButton::clicked, this, &OverlayBar::fullscreenPressed);
        break;
    }
    case OverlayPurpose::scrolling:
        action(addButton(tr("Start Scrolling Capture"), QStringLiteral("arrow.up.and.down.text.horizontal"), true),
            OverlayAction::scrolling);
        break;
    default: break;
    }

    auto* cancel = new QToolButton(this);
    cancel->setIcon(whiteSymbol(QStringLiteral("xmark"), devicePixelRatioF()));
    cancel->setToolTip(tr("Cancel"));
    cancel->setAccessibleName(tr("Cancel"));
    if (cancel->icon().isNull())
        cancel->setText(QStringLiteral("\u2715"));
    connect(cancel, &QAbstractButton::clicked, this, &OverlayBar::cancelPressed);
    layout->addWidget(cancel);
    m_buttons.append(cancel);
    adjustSize();
}

QAbstractButton* OverlayBar::addButton(const QString& title, const QString& symbol, bool primary)
{
    auto* button = new QToolButton(this);
    button->setText(title);
    button->setIcon(whiteSymbol(symbol, devicePixelRatioF()));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAccessibleName(title);
    button->setProperty("primary", primary);
    button->setFocusPolicy(Qt::NoFocus);
    static_cast<QHBoxLayout*>(layout())->addWidget(button);
    m_buttons.append(button);
    return button;
}

void OverlayBar::setSelectionSize(const QSizeF& points)
{
    m_width->setText(QString::number(qRound(points.width())));
    m_height->setText(QString::number(qRound(points.height())));
}

QString OverlayBar::widthText() const
{
    return m_width->text();
}

QString OverlayBar::heightText() const
{
    return m_height->text();
}

void OverlayBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(31, 31, 31, 235));
    p.drawRoundedRect(QRectF(rect()), 10, 10);
}

} // namespace vantrel
