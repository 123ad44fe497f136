// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryWindowController.h"

#include "CaptureHistory.h"
#include "HistoryGridView.h"
#include "HistoryView.h"
#include "WindowPlacement.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>

namespace vantrel {

namespace {

struct HistoryWindow
{
    QWidget* window = nullptr;
    HistoryView* view = nullptr;
};

HistoryWindow& instance()
{
    static HistoryWindow history;
    return history;
}

HistoryWindow makeWindow()
{
    auto* window = new QWidget(nullptr,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
            | Qt::WindowCloseButtonHint);
    window->setWindowTitle(QCoreApplication::translate("HistoryWindow", "Capture History"));
    window->setObjectName(QStringLiteral("CaptureHistory"));
    // Closing hides: the window, its filter and its scroll position stay for the next show.
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* view = new HistoryView(CaptureHistory::shared(), window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    window->resize(HistoryWindowController::contentSize);
    // Ctrl+W and Esc close it, as in Vantrel's other windows.
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)}) {
        auto* shortcut = new QShortcut(keys, window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
    }
    view->grid()->setFocus();
    return {window, view};
}

} // namespace

void HistoryWindowController::show()
{
    CaptureHistory::shared().prune();
    HistoryWindow& history = instance();
    if (!history.window) {
        history = makeWindow();
        centreOnScreenUnderPointer(history.window);
    }
    bringToFront(history.window);
}

QWidget* HistoryWindowController::window()
{
    return instance().window;
}

HistoryView* HistoryWindowController::view()
{
    return instance().view;
}

} // namespace vantrel
