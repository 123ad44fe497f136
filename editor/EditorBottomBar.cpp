// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorBottomBar.h"

#include "Clipboard.h"
#include "EditorDocument.h"
#include "EditorWindowController.h"
#include "Service.h"
#include "SymbolIcons.h"
#include "Toasts.h"
#include "Workspace.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDrag>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include <cmath>

namespace vantrel {

namespace {

constexpr double dragImageWidth = 140; // points

QPushButton* barButton(const QString& text, const QString& symbolName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    if (!symbolName.isEmpty())
        button->setIcon(symbolIcon(symbolName));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

QString outputSizeLabel(long long width, long long height)
{
    return QCoreApplication::translate("vantrel::EditorBottomBar", "%1 × %2 px").arg(width).arg(height);
}

std::optional<DragPayload> dragPayload(const std::optional<QUrl>& file, double devicePixelRatio)
{
    if (!file)
        return std::nullopt;
    DragPayload payload;
    payload.mimeData = std::make_unique<QMimeData>();
    payload.mimeData->setUrls({*file});

    QImageReader reader(file->toLocalFile());
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    const double height
        = size.isValid() && size.width() > 0 ? dragImageWidth * size.height() / size.width() : dragImageWidth;
    const QSize logical(int(dragImageWidth), std::max(1, int(std::lround(height))));
    const double dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    if (size.isValid())
        reader.setScaledSize(logical * dpr);
    QImage picture = reader.read(); // a file that is not an image drags an empty picture
    QPixmap pixmap(logical * dpr);
    pixmap.fill(Qt::transparent);
    if (!picture.isNull()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), logical * dpr), picture);
    }
    pixmap.setDevicePixelRatio(dpr);
    payload.pixmap = pixmap;
    payload.hotSpot = QPoint(logical.width() / 2, logical.height() / 2);
    return payload;
}

// --- drag handle ---------------------------------------------------------------------------

DragHandle::DragHandle(EditorWindowController* controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
{
    setFixedSize(96, 28);
    setCursor(Qt::OpenHandCursor);
    setToolTip(tr("Drag the image into any app"));
    setAccessibleName(tr("Drag me"));
}

void DragHandle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("✥  ") + tr("Drag me"));
}

void DragHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressAt = event->position().toPoint();
}

void DragHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressAt || !(event->buttons() & Qt::LeftButton))
        return;
    if ((event->position().toPoint() - *m_pressAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressAt.reset();
    std::optional<DragPayload> payload = dragPayload(m_controller->committedFile(), devicePixelRatioF());
    if (!payload)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(payload->mimeData.release());
    drag->setPixmap(payload->pixmap);
    drag->setHotSpot(payload->hotSpot);
    drag->exec(Qt::CopyAction);
}

// --- the bar -------------------------------------------------------------------------------

EditorBottomBar::EditorBottomBar(EditorDocument* doc, EditorWindowController* controller, QWidget* parent)
    : QWidget(parent)
    , m_doc(doc)
    , m_controller(controller)
{
    setFixedHeight(barHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(10);

    m_size = new QLabel(this);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(11);
    // Digits of equal width, so the label does not jitter while a crop is dragged.
    font.setStyleHint(QFont::SansSerif);
    m_size->setFont(font);
    QPalette secondary = m_size->palette();
    secondary.setColor(QPalette::WindowText, secondary.color(QPalette::PlaceholderText));
    m_size->setPalette(secondary);
    row->addWidget(m_size);
    row->addStretch(1);

    m_dragHandle = new DragHandle(controller, this);
    row->addWidget(m_dragHandle);

    m_text = barButton(tr("Text"), QStringLiteral("text.viewfinder"), this);
    connect(m_text, &QPushButton::clicked, controller, &EditorWindowController::recognizeText);
    row->addWidget(m_text);

    m_pin = barButton(tr("Pin"), QStringLiteral("pin"), this);
    connect(m_pin, &QPushButton::clicked, controller, &EditorWindowController::pin);
    row->addWidget(m_pin);

    m_share = new QToolButton(this);
    m_share->setIcon(symbolIcon(QStringLiteral("square.and.arrow.up")));
    m_share->setFixedSize(34, 24);
    m_share->setAccessibleName(tr("Share"));
    m_share->setToolTip(tr("Share"));
    m_share->setFocusPolicy(Qt::NoFocus);
    connect(m_share, &QToolButton::clicked, this, &EditorBottomBar::share);
    row->addWidget(m_share);

    m_saveAs = barButton(tr("Save As…"), QString(), this);
    connect(m_saveAs, &QPushButton::clicked, controller, &EditorWindowController::saveAs);
    row->addWidget(m_saveAs);

    m_copy = barButton(tr("Copy"), QStringLiteral("doc.on.doc"), this);
    connect(m_copy, &QPushButton::clicked, controller, &EditorWindowController::copy);
    row->addWidget(m_copy);

    // The prominent button: accent-coloured.
    m_save = barButton(tr("Save"), QStringLiteral("square.and.arrow.down"), this);
    QPalette prominent = m_save->palette();
    prominent.setColor(QPalette::Button, prominent.color(QPalette::Highlight));
    prominent.setColor(QPalette::ButtonText, prominent.color(QPalette::HighlightedText));
    m_save->setPalette(prominent);
    connect(m_save, &QPushButton::clicked, controller, &EditorWindowController::save);
    row->addWidget(m_save);

    connect(m_doc, &EditorDocument::changed, this, &EditorBottomBar::refresh);
    refresh();
}

void EditorBottomBar::refresh()
{
    const QSizeF size = m_doc->layout(false).canvasSize;
    m_size->setText(outputSizeLabel(static_cast<long long>(size.width()), static_cast<long long>(size.height())));
}

QMenu* EditorBottomBar::shareMenu(const QUrl& file, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->addAction(tr("Open With…"), [file] {
        if (Workspace* workspace = Service<Workspace>::find())
            workspace->openWith(file);
    });
    menu->addAction(tr("Show in File Manager"), [file] {
        if (Workspace* workspace = Service<Workspace>::find())
            workspace->reveal(file);
    });
    menu->addAction(tr("Copy File Path"), [file] {
        Clipboard* clipboard = Service<Clipboard>::find();
        if (!clipboard)
            return;
        clipboard->write({.text = file.toLocalFile()});
        showToast(
            {.text = tr("Copied to clipboard"), .symbol = QStringLiteral("checkmark.circle.fill"), .duration = 1.6});
    });
    return menu;
}

void EditorBottomBar::share()
{
    const std::optional<QUrl> file = m_controller->committedFile();
    if (!file)
        return;
    QMenu* menu = shareMenu(*file, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_share->mapToGlobal(QPoint(0, m_share->height())));
}

} // namespace vantrel
