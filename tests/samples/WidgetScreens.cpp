// SPDX-License-Identifier: GPL-3.0-or-later
#include "WidgetScreens.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vantrel::samples {

namespace {

// A dark palette as dark desktop themes set it.
QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x30));
    p.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x2a, 0x2a, 0x2c));
    p.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Button, QColor(0x3c, 0x3c, 0x40));
    p.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    p.setColor(QPalette::Highlight, QColor(0x26, 0x6e, 0xc8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return p;
}

// Shows each screen, grabs what Qt drew and writes down what it says.
struct Screens
{
    QString font;
    double pointSize;
    bool dark;
    std::vector<ScreenTextSample> samples;

    void add(QWidget* widget, const QString& kind, const QStringList& lines)
    {
        widget->adjustSize();
        widget->show();
        QApplication::processEvents();
        QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
        widget->hide();
        samples.push_back({QStringLiteral("widgets/%1/%2pt/%3/%4")
                               .arg(font)
                               .arg(pointSize)
                               .arg(dark ? QStringLiteral("dark") : QStringLiteral("light"), kind),
            QStringLiteral("widgets"), std::move(image), 1.0, lines});
    }
};

void drawScreens(Screens& out)
{
    // 1. An edit menu with shortcuts, a checkable entry, a submenu and a disabled entry.
    {
        QMenu menu;
        menu.addAction("Undo")->setShortcut(QKeySequence("Ctrl+Z"));
        menu.addAction("Redo")->setShortcut(QKeySequence("Ctrl+Shift+Z"));
        menu.addSeparator();
        menu.addAction("Cut")->setShortcut(QKeySequence("Ctrl+X"));
        menu.addAction("Copy")->setShortcut(QKeySequence("Ctrl+C"));
        menu.addAction("Paste")->setShortcut(QKeySequence("Ctrl+V"));
        QAction* d = menu.addAction("Paste Special");
        d->setEnabled(false);
        menu.addSeparator();
        menu.addAction("Select All")->setShortcut(QKeySequence("Ctrl+A"));
        menu.addAction("Find and Replace...")->setShortcut(QKeySequence("Ctrl+H"));
        QAction* wrap = menu.addAction("Word Wrap");
        wrap->setCheckable(true);
        wrap->setChecked(true);
        QMenu* sub = menu.addMenu("Convert Case");
        sub->addAction("Upper");
        menu.addAction("Preferences")->setShortcut(QKeySequence("Ctrl+,"));
        out.add(&menu, "menu",
            {"Undo Ctrl+Z", "Redo Ctrl+Shift+Z", "Cut Ctrl+X", "Copy Ctrl+C", "Paste Ctrl+V", "Paste Special",
                "Select All Ctrl+A", "Find and Replace... Ctrl+H", "Word Wrap", "Convert Case", "Preferences Ctrl+,"});
    }
    // 2. A form dialog.
    {
        QWidget dialog;
        dialog.setWindowTitle("Account");
        auto* layout = new QVBoxLayout(&dialog);
        auto* form = new QFormLayout;
        auto* name = new QLineEdit("Maria Schmidt");
        auto* mail = new QLineEdit("maria@example.org");
        auto* server = new QComboBox;
        server->addItem("imap.example.org (IMAP)");
        auto* port = new QSpinBox;
        port->setRange(1, 65535);
        port->setValue(993);
        auto* note = new QLineEdit;
        note->setPlaceholderText("Optional description");
        form->addRow("Full name:", name);
        form->addRow("Email address:", mail);
        form->addRow("Incoming server:", server);
        form->addRow("Port:", port);
        form->addRow("Note:", note);
        layout->addLayout(form);
        layout->addWidget(new QCheckBox("Remember password"));
        layout->addWidget(new QCheckBox("Check for new mail every 10 minutes"));
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        buttons->addButton("Test Connection", QDialogButtonBox::ActionRole);
        layout->addWidget(buttons);
        dialog.resize(460, 0);
        out.add(&dialog, "dialog",
            {"Full name: Maria Schmidt", "Email address: maria@example.org", "Incoming server: imap.example.org (IMAP)",
                "Port: 993", "Note: Optional description", "Remember password", "Check for new mail every 10 minutes",
                "OK Test Connection Cancel"});
    }
    // 3. A table with a header.
    {
        QTableWidget table(7, 4);
        table.setHorizontalHeaderLabels({"Process", "PID", "CPU", "Memory"});
        const char* rows[][4] = {{"firefox-esr", "2381", "12.4%", "812.5 MB"}, {"Xorg", "904", "3.1%", "96.2 MB"},
            {"pulseaudio", "1520", "0.7%", "18.9 MB"}, {"gnome-shell", "1288", "2.2%", "301.0 MB"},
            {"thunderbird", "3007", "0.4%", "455.3 MB"}, {"sshd", "612", "0.0%", "6.1 MB"},
            {"python3", "4410", "25.0%", "77.8 MB"}};
        QStringList truth {"Process PID CPU Memory"};
        for (int r = 0; r < 7; ++r) {
            QStringList cells;
            for (int c = 0; c < 4; ++c) {
                auto* item = new QTableWidgetItem(rows[r][c]);
                if (c > 0)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table.setItem(r, c, item);
                cells << rows[r][c];
            }
            truth << QString::number(r + 1) + " " + cells.join(' ');
        }
        table.setAlternatingRowColors(true);
        table.resizeColumnsToContents();
        table.horizontalHeader()->setStretchLastSection(true);
        table.resize(520, 280);
        table.setFixedSize(520, 280);
        out.add(&table, "table", truth);
    }
    // 4. A settings page.
    {
        QWidget page;
        auto* layout = new QVBoxLayout(&page);
        auto* privacy = new QGroupBox("Privacy");
        auto* pl = new QVBoxLayout(privacy);
        pl->addWidget(new QCheckBox("Send anonymous usage statistics"));
        pl->addWidget(new QCheckBox("Remember recently opened files"));
        auto* keep = new QHBoxLayout;
        keep->addWidget(new QLabel("Keep history for"));
        auto* days = new QSpinBox;
        days->setValue(30);
        days->setSuffix(" days");
        keep->addWidget(days);
        keep->addStretch();
        pl->addLayout(keep);
        layout->addWidget(privacy);
        auto* look = new QGroupBox("Appearance");
        auto* ll = new QGridLayout(look);
        ll->addWidget(new QLabel("Theme:"), 0, 0);
        auto* theme = new QComboBox;
        theme->addItem("Follow system");
        ll->addWidget(theme, 0, 1);
        ll->addWidget(new QLabel("Font size:"), 1, 0);
        auto* size = new QSlider(Qt::Horizontal);
        ll->addWidget(size, 1, 1);
        ll->addWidget(new QLabel("11 pt"), 1, 2);
        auto* r1 = new QRadioButton("Compact toolbar");
        auto* r2 = new QRadioButton("Large icons with labels");
        r1->setChecked(true);
        ll->addWidget(r1, 2, 0, 1, 2);
        ll->addWidget(r2, 3, 0, 1, 2);
        layout->addWidget(look);
        auto* progress = new QProgressBar;
        progress->setValue(42);
        layout->addWidget(new QLabel("Storage used: 4.2 GB of 10 GB"));
        layout->addWidget(progress);
        auto* row = new QHBoxLayout;
        row->addWidget(new QPushButton("Restore Defaults"));
        row->addStretch();
        row->addWidget(new QPushButton("Close"));
        layout->addLayout(row);
        page.resize(440, 0);
        out.add(&page, "settings",
            {"Privacy", "Send anonymous usage statistics", "Remember recently opened files", "Keep history for 30 days",
                "Appearance", "Theme: Follow system", "Font size: 11 pt", "Compact toolbar", "Large icons with labels",
                "Storage used: 4.2 GB of 10 GB", "42%", "Restore Defaults Close"});
    }
    // 5. A main window: menu bar, toolbar, tabs, list.
    {
        QMainWindow window;
        auto* bar = window.menuBar();
        for (const char* title : {"File", "Edit", "View", "Bookmarks", "Tools", "Help"})
            bar->addMenu(title);
        QToolBar* tools = window.addToolBar("Main");
        tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
        for (const char* t : {"Back", "Forward", "Reload", "Home", "Downloads"})
            tools->addAction(t);
        auto* tabs = new QTabWidget;
        auto* list = new QListWidget;
        for (const char* t : {"Inbox (12)", "Drafts", "Sent", "Archive 2023", "Spam (3)", "Trash"})
            list->addItem(t);
        tabs->addTab(list, "Folders");
        tabs->addTab(new QWidget, "Contacts");
        tabs->addTab(new QWidget, "Calendar");
        window.setCentralWidget(tabs);
        window.resize(520, 330);
        window.setFixedSize(520, 330);
        out.add(&window, "window",
            {"File Edit View Bookmarks Tools Help", "Back Forward Reload Home Downloads", "Folders Contacts Calendar",
                "Inbox (12)", "Drafts", "Sent", "Archive 2023", "Spam (3)", "Trash"});
    }
    // 6. A tree with two columns.
    {
        QTreeWidget tree;
        tree.setHeaderLabels({"Name", "Value"});
        auto* net = new QTreeWidgetItem(&tree, {"Network", ""});
        new QTreeWidgetItem(net, {"Hostname", "build-server-02"});
        new QTreeWidgetItem(net, {"Address", "192.168.1.40"});
        new QTreeWidgetItem(net, {"Gateway", "192.168.1.1"});
        auto* disk = new QTreeWidgetItem(&tree, {"Storage", ""});
        new QTreeWidgetItem(disk, {"Root partition", "48.3 GB free"});
        new QTreeWidgetItem(disk, {"Swap", "2.0 GB"});
        tree.expandAll();
        tree.setColumnWidth(0, 200);
        tree.setFixedSize(440, 220);
        out.add(&tree, "tree",
            {"Name Value", "Network", "Hostname build-server-02", "Address 192.168.1.40", "Gateway 192.168.1.1",
                "Storage", "Root partition 48.3 GB free", "Swap 2.0 GB"});
    }
}

} // namespace

std::vector<ScreenTextSample> widgetScreens(const QString& font, double pointSize, bool dark)
{
    // Fusion looks the same on every machine, whatever style the desktop would pick.
    const QString previousStyle = QApplication::style()->name();
    const QFont previousFont = QApplication::font();
    const QPalette previousPalette = QApplication::palette();
    QApplication::setStyle(QStringLiteral("Fusion"));
    // Set before the widgets exist, so that their sizes and elisions follow the font.
    QFont face(font);
    face.setPointSizeF(pointSize);
    QApplication::setFont(face);
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
    Screens screens {font, pointSize, dark, {}};
    drawScreens(screens);
    QApplication::setPalette(previousPalette);
    QApplication::setFont(previousFont);
    QApplication::setStyle(previousStyle);
    return std::move(screens.samples);
}

} // namespace vantrel::samples
