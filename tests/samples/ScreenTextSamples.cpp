// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenTextSamples.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <functional>
#include <random>

namespace vantrel::samples {

namespace {

// --- what the screens say --------------------------------------------------------------------

const QStringList sentences = {
    QStringLiteral("Automatically save changes every 5 minutes"),
    QStringLiteral("Show hidden files and folders"),
    QStringLiteral("Last backup: 12 March 2024 at 14:05"),
    QStringLiteral("Download complete (23.4 MB of 23.4 MB)"),
    QStringLiteral("Your password must contain at least 8 characters."),
    QStringLiteral("Connected to office-wifi (5 GHz, WPA2)"),
    QStringLiteral("Battery: 78% remaining, about 3 hours"),
    QStringLiteral("Send feedback to support@example.org"),
    QStringLiteral("Open the file ~/Documents/report-final.pdf"),
    QStringLiteral("Version 4.12.1 (build 20240312)"),
    QStringLiteral("The meeting has been moved to Thursday, 10:30 AM."),
    QStringLiteral("Remove 3 items from the trash permanently?"),
    QStringLiteral("Use dark style for all applications"),
    QStringLiteral("Check for updates when the computer starts"),
    QStringLiteral("Printer HP-4020 is out of paper"),
    QStringLiteral("Sharing is turned off for this folder."),
    QStringLiteral("Press Enter to search, Escape to cancel"),
    QStringLiteral("Syncing 1,284 of 2,048 photos"),
    QStringLiteral("Screen brightness adjusts to ambient light"),
    QStringLiteral("Keyboard layout: English (US), German"),
    QStringLiteral("Disk usage: 182 GB used, 74 GB free"),
    QStringLiteral("Welcome back, Maria! You have 4 new messages."),
    QStringLiteral("Click Apply to keep these display settings."),
    QStringLiteral("Error 404: the page could not be found"),
    QStringLiteral("Total: $1,249.90 including tax"),
    QStringLiteral("Reminder: renew your subscription by June 30"),
    QStringLiteral("Install the update now or schedule it for tonight"),
    QStringLiteral("Bluetooth is on and visible as Laptop-7"),
};

struct Setting
{
    const char* label;
    const char* value;
};
const std::vector<Setting> settingRows = {
    {"Automatic updates", "Every day"},
    {"Screen lock", "After 5 minutes"},
    {"Default browser", "Firefox"},
    {"Time zone", "Europe/Berlin"},
    {"Resolution", "1920 x 1080"},
    {"Output volume", "65%"},
    {"Night light", "Sunset to sunrise"},
    {"Language", "English (United Kingdom)"},
    {"Mouse speed", "Medium"},
    {"Sleep after", "30 minutes"},
};

struct MenuEntry
{
    const char* name;
    const char* shortcut; // empty: none
};
const std::vector<MenuEntry> menuEntries = {
    {"New Tab", "Ctrl+T"},
    {"New Window", "Ctrl+N"},
    {"Open File", "Ctrl+O"},
    {"Save Page As", "Ctrl+S"},
    {"Print", "Ctrl+P"},
    {"Find in Page", "Ctrl+F"},
    {"Full Screen", "F11"},
    {"Preferences", ""},
    {"Quit", "Ctrl+Q"},
    {"Undo", "Ctrl+Z"},
    {"Redo", "Shift+Ctrl+Z"},
    {"Cut", "Ctrl+X"},
    {"Copy", "Ctrl+C"},
    {"Paste", "Ctrl+V"},
    {"Select All", "Ctrl+A"},
    {"Reload", "F5"},
    {"Show History", "Ctrl+H"},
    {"Downloads", "Ctrl+J"},
    {"Bookmarks", ""},
    {"Developer Tools", "F12"},
};

struct FileRow
{
    const char* name;
    const char* size;
    const char* modified;
    const char* kind;
};
const std::vector<FileRow> fileRows = {
    {"notes.txt", "4.2 kB", "12 Mar 2024", "Text"},
    {"holiday-photo.jpg", "3.1 MB", "02 Jan 2023", "Image"},
    {"budget_2024.ods", "88 kB", "28 Feb 2024", "Spreadsheet"},
    {"Music", "14 items", "Yesterday", "Folder"},
    {"invoice-0193.pdf", "241 kB", "15 Nov 2023", "Document"},
    {"setup.sh", "1.9 kB", "Today", "Script"},
    {"README.md", "6.7 kB", "09 Oct 2022", "Markdown"},
    {"archive.tar.gz", "512 MB", "21 Jul 2021", "Archive"},
    {"Projects", "7 items", "Monday", "Folder"},
    {"talk-slides.odp", "2.4 MB", "30 Apr 2024", "Presentation"},
    {"avatar.png", "96 kB", "17 Aug 2023", "Image"},
};

const QStringList buttonWords = {
    QStringLiteral("Cancel"),
    QStringLiteral("Apply"),
    QStringLiteral("Save Changes"),
    QStringLiteral("Delete"),
    QStringLiteral("Sign In"),
    QStringLiteral("Continue"),
    QStringLiteral("Install"),
    QStringLiteral("Share"),
};

// --- drawing ---------------------------------------------------------------------------------

struct Palette
{
    QColor window;
    QColor text;
    QColor muted;
    QColor line;
    QColor selection;
    QColor selectionText;
};
const Palette lightPalette {QColor(0xf6, 0xf5, 0xf4), QColor(0x2e, 0x34, 0x36), QColor(0x77, 0x77, 0x7a),
    QColor(0xd8, 0xd8, 0xd8), QColor(0x35, 0x84, 0xe4), Qt::white};
const Palette darkPalette {QColor(0x24, 0x24, 0x24), QColor(0xe8, 0xe8, 0xe8), QColor(0xa0, 0xa0, 0xa4),
    QColor(0x3c, 0x3c, 0x3c), QColor(0x1c, 0x71, 0xd8), Qt::white};

QFont fontOf(const QString& family, int pixelSize, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Builds one image row by row, writing down what each row says.
class Sheet
{
public:
    Sheet(const QString& family, int pixelSize, int width, const QColor& background)
        : m_family(family)
        , m_size(pixelSize)
        , m_width(width)
        , m_background(background)
    { }

    int size() const { return m_size; }
    int width() const { return m_width; }
    int lineHeight() const { return m_size * 19 / 10; }
    int height() const { return m_y; }

    // One visual row: cells at x (left edge, or right edge when `rightAligned`).
    struct Cell
    {
        QString text;
        int x;
        QColor colour;
        bool bold = false;
        bool rightAligned = false;
        int pixelSize = 0; // 0: the sheet's size
    };
    void row(std::vector<Cell> cells, std::function<void(QPainter&, QRect)> backdrop = {}, int height = 0)
    {
        const int h = height > 0 ? height : lineHeight();
        m_rows.push_back({std::move(cells), std::move(backdrop), m_y, h});
        QStringList words;
        for (const Cell& cell : m_rows.back().cells)
            words << cell.text;
        m_lines << words.join(QLatin1Char(' '));
        m_y += h;
    }
    // Drawing that says nothing (a separator, an icon strip).
    void gap(int height, std::function<void(QPainter&, QRect)> drawing = {})
    {
        m_rows.push_back({{}, std::move(drawing), m_y, height});
        m_y += height;
    }

    // The picture at `scale` pixels per point (`scaleY` for the height when it differs).
    QImage render(double scale = 1.0, double scaleY = 0.0) const
    {
        if (scaleY <= 0)
            scaleY = scale;
        const QSize points(m_width, m_y + m_size);
        QImage image(int(points.width() * scale), int(points.height() * scaleY), QImage::Format_RGB32);
        image.fill(m_background);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(scale, scaleY);
        for (const Row& row : m_rows) {
            const QRect rect(0, row.top, m_width, row.height);
            if (row.backdrop)
                row.backdrop(painter, rect);
            for (const Cell& cell : row.cells) {
                const QFont font = fontOf(m_family, cell.pixelSize > 0 ? cell.pixelSize : m_size, cell.bold);
                painter.setFont(font);
                painter.setPen(cell.colour);
                const QFontMetrics metrics(font);
                const int baseline = row.top + (row.height + metrics.ascent() - metrics.descent()) / 2;
                const int x = cell.rightAligned ? cell.x - metrics.horizontalAdvance(cell.text) : cell.x;
                painter.drawText(QPoint(x, baseline), cell.text);
            }
        }
        return image;
    }
    const QStringList& lines() const { return m_lines; }
    const QString& family() const { return m_family; }

private:
    struct Row
    {
        std::vector<Cell> cells;
        std::function<void(QPainter&, QRect)> backdrop;
        int top;
        int height;
    };
    QString m_family;
    int m_size;
    int m_width;
    QColor m_background;
    std::vector<Row> m_rows;
    QStringList m_lines;
    int m_y = 0;
};

using Rng = std::mt19937;

template <typename T> std::vector<T> pick(const std::vector<T>& from, size_t count, Rng& rng)
{
    std::vector<T> copy = from;
    std::shuffle(copy.begin(), copy.end(), rng);
    copy.resize(std::min(count, copy.size()));
    return copy;
}
QStringList pick(const QStringList& from, size_t count, Rng& rng)
{
    const std::vector<QString> chosen = pick(std::vector<QString>(from.begin(), from.end()), count, rng);
    return QStringList(chosen.begin(), chosen.end());
}

// A window of prose and label/value rows.
Sheet windowSheet(const QString& font, int px, const Palette& palette, Rng& rng)
{
    Sheet sheet(font, px, 46 * px, palette.window);
    const int margin = px + 4;
    sheet.row({{QStringLiteral("General Settings"), margin, palette.text, true, false, px + 3}}, {}, px * 3);
    const QStringList prose = pick(sentences, 7, rng);
    for (int i = 0; i < prose.size(); ++i)
        sheet.row({{prose[i], margin, i % 3 == 2 ? palette.muted : palette.text}});
    sheet.gap(px, [&palette](QPainter& p, QRect r) {
        p.fillRect(QRect(r.left() + 8, r.center().y(), r.width() - 16, 1), palette.line);
    });
    for (const Setting& setting : pick(settingRows, 4, rng)) {
        sheet.row({{QString::fromLatin1(setting.label), margin, palette.text},
            {QString::fromLatin1(setting.value), sheet.width() - margin, palette.muted, false, true}});
    }
    return sheet;
}

Sheet menuSheet(const QString& font, int px, const Palette& palette, Rng& rng)
{
    Sheet sheet(font, px, 22 * px, palette.window);
    const std::vector<MenuEntry> entries = pick(menuEntries, 9, rng);
    const int selected = int(rng() % entries.size());
    sheet.gap(px / 2);
    for (size_t i = 0; i < entries.size(); ++i) {
        const bool highlighted = int(i) == selected;
        const bool disabled = !highlighted && i % 4 == 3;
        const QColor ink = highlighted ? palette.selectionText : disabled ? palette.muted : palette.text;
        std::vector<Sheet::Cell> cells {{QString::fromLatin1(entries[i].name), 3 * px, ink}};
        if (*entries[i].shortcut)
            cells.push_back({QString::fromLatin1(entries[i].shortcut), sheet.width() - px, ink, false, true});
        const QColor selection = palette.selection;
        const bool icon = i % 3 == 0;
        sheet.row(std::move(cells), [highlighted, selection, icon, px, ink](QPainter& p, QRect r) {
            if (highlighted)
                p.fillRect(r.adjusted(4, 0, -4, 0), selection);
            if (icon) {
                // A small symbol left of the name, as menus show.
                p.setPen(QPen(ink, 1.5));
                p.setBrush(Qt::NoBrush);
                p.drawRoundedRect(QRectF(px * 0.8, r.center().y() - px * 0.45, px * 0.9, px * 0.9), 2, 2);
            }
        });
        if (i == 3 || i == 6) {
            sheet.gap(px / 2 + 1, [palette](QPainter& p, QRect r) {
                p.fillRect(QRect(r.left() + 6, r.center().y(), r.width() - 12, 1), palette.line);
            });
        }
    }
    sheet.gap(px / 2);
    return sheet;
}

Sheet tableSheet(const QString& font, int px, bool dark, Rng& rng)
{
    const Palette& palette = dark ? darkPalette : lightPalette;
    const QColor stripe = dark ? QColor(0x2e, 0x2e, 0x30) : QColor(0xff, 0xff, 0xff);
    const QColor header = dark ? QColor(0x38, 0x38, 0x3a) : QColor(0xe6, 0xe6, 0xe6);
    Sheet sheet(font, px, 44 * px, palette.window);
    const int columns[] = {px, 17 * px, 25 * px, 34 * px};
    auto grid = [columns, palette](QPainter& p, QRect r) {
        for (int i = 1; i < 4; ++i)
            p.fillRect(QRect(columns[i] - 8, r.top(), 1, r.height()), palette.line);
    };
    sheet.row({{QStringLiteral("Name"), columns[0], palette.text, true},
                  {QStringLiteral("Size"), columns[1], palette.text, true},
                  {QStringLiteral("Modified"), columns[2], palette.text, true},
                  {QStringLiteral("Type"), columns[3], palette.text, true}},
        [header, grid](QPainter& p, QRect r) {
            p.fillRect(r, header);
            grid(p, r);
        });
    const std::vector<FileRow> rows = pick(fileRows, 8, rng);
    for (size_t i = 0; i < rows.size(); ++i) {
        const QColor fill = i % 2 ? stripe : palette.window;
        sheet.row({{QString::fromLatin1(rows[i].name), columns[0], palette.text},
                      {QString::fromLatin1(rows[i].size), columns[1], palette.muted},
                      {QString::fromLatin1(rows[i].modified), columns[2], palette.muted},
                      {QString::fromLatin1(rows[i].kind), columns[3], palette.text}},
            [fill, grid](QPainter& p, QRect r) {
                p.fillRect(r, fill);
                grid(p, r);
            });
    }
    return sheet;
}

// Buttons, a gradient banner and text over a picture.
Sheet colourSheet(const QString& font, int px, Rng& rng)
{
    Sheet sheet(font, px, 44 * px, Qt::white);
    const QColor fills[] = {QColor(0x35, 0x84, 0xe4), QColor(0x2e, 0xc2, 0x7e), QColor(0xe0, 0x1b, 0x24),
        QColor(0xff, 0x78, 0x00), QColor(0x91, 0x41, 0xac), QColor(0xf6, 0xd3, 0x2d)};
    const int shift = int(rng() % 6);
    sheet.gap(px);
    // A row of buttons: white text on strong colours, dark text on yellow.
    for (int line = 0; line < 2; ++line) {
        const QStringList words = pick(buttonWords, 3, rng);
        std::vector<Sheet::Cell> cells;
        std::vector<std::pair<QRect, QColor>> buttons;
        int x = px;
        for (int i = 0; i < words.size(); ++i) {
            const QColor fill = fills[(shift + line * 3 + i) % 6];
            const QColor ink = fill.lightness() > 140 ? QColor(0x24, 0x1f, 0x31) : Qt::white;
            const int width = QFontMetrics(fontOf(font, px, true)).horizontalAdvance(words[i]) + 2 * px;
            cells.push_back({words[i], x + px, ink, true});
            buttons.emplace_back(QRect(x, 0, width, 0), fill);
            x += width + px;
        }
        sheet.row(
            std::move(cells),
            [buttons](QPainter& p, QRect r) {
                for (const auto& [button, fill] : buttons) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(fill);
                    p.drawRoundedRect(QRect(button.left(), r.top() + 3, button.width(), r.height() - 6), 5, 5);
                }
            },
            px * 5 / 2);
        sheet.gap(px / 2);
    }
    // A banner on a gradient.
    const QColor from = fills[shift % 6].darker(130), to = fills[(shift + 4) % 6].darker(150);
    const QStringList banner = pick(sentences, 2, rng);
    for (const QString& words : banner) {
        sheet.row({{words, px, Qt::white, true}}, [from, to](QPainter& p, QRect r) {
            QLinearGradient gradient(r.topLeft(), r.topRight());
            gradient.setColorAt(0, from);
            gradient.setColorAt(1, to);
            p.fillRect(r, gradient);
        });
    }
    sheet.gap(px / 2);
    // Coloured words on white: a link, a warning, a confirmation.
    const QColor inks[] = {QColor(0x1a, 0x5f, 0xb4), QColor(0xc0, 0x1c, 0x28), QColor(0x26, 0xa2, 0x69)};
    for (const QString& words : pick(sentences, 3, rng))
        sheet.row({{words, px, inks[sheet.lines().size() % 3]}});
    // Captions over a soft picture.
    const QStringList captions = pick(sentences, 2, rng);
    const QColor blobs[] = {QColor(0xf9, 0xc4, 0x8e), QColor(0x9c, 0xd8, 0xf0), QColor(0xc8, 0xe6, 0xa0)};
    const int seed = int(rng() % 1000);
    for (const QString& words : captions) {
        sheet.row({{words, px, QColor(0x20, 0x20, 0x20)}}, [blobs, seed](QPainter& p, QRect r) {
            p.fillRect(r, blobs[seed % 3]);
            for (int i = 0; i < 5; ++i) {
                const QPointF centre(r.left() + (seed * 37 + i * 131) % qMax(1, r.width()), r.center().y());
                QRadialGradient glow(centre, r.height() * 2.0);
                glow.setColorAt(0, blobs[(seed + i + 1) % 3]);
                glow.setColorAt(1, Qt::transparent);
                p.fillRect(r, glow);
            }
        });
    }
    sheet.gap(px);
    return sheet;
}

// LCD sub-pixel text: drawn three times as wide, then each output pixel takes its red, green and
// blue from three neighbouring columns after FreeType's default LCD filter, so glyph edges carry
// the colour fringes of a sub-pixel rendered screen.
QImage subpixelRender(const Sheet& sheet)
{
    const QImage wide = sheet.render(3.0, 1.0);
    const int taps[5] = {8, 77, 86, 77, 8}; // sums to 256
    QImage image(wide.width() / 3, wide.height(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(wide.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            int channel[3];
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int t = 0; t < 5; ++t) {
                    const int column = std::clamp(3 * x + c + t - 2, 0, wide.width() - 1);
                    const QRgb pixel = in[column];
                    sum += taps[t] * (c == 0 ? qRed(pixel) : c == 1 ? qGreen(pixel) : qBlue(pixel));
                }
                channel[c] = std::clamp(sum / 256, 0, 255);
            }
            out[x] = qRgb(channel[0], channel[1], channel[2]);
        }
    }
    return image;
}

} // namespace

ScreenTextSample typicalCapture(const QString& font, bool dark)
{
    constexpr int px = 13;
    const Palette& palette = dark ? darkPalette : lightPalette;
    Rng rng(dark ? 7 : 3);
    Sheet sheet(font, px, 800, palette.window);
    const int margin = 20;
    sheet.row({{QStringLiteral("Network and Sharing"), margin, palette.text, true, false, px + 4}}, {}, 40);
    for (const QString& words : pick(sentences, 6, rng))
        sheet.row({{words, margin, palette.text}});
    auto rule = [palette](QPainter& p, QRect r) {
        p.fillRect(QRect(r.left() + 12, r.center().y(), r.width() - 24, 1), palette.line);
    };
    sheet.gap(px, rule);
    for (const Setting& setting : pick(settingRows, 6, rng)) {
        sheet.row({{QString::fromLatin1(setting.label), margin, palette.text},
            {QString::fromLatin1(setting.value), 800 - margin, palette.muted, false, true}});
    }
    sheet.gap(px, rule);
    const int columns[] = {margin, 330, 470, 640};
    const QColor header = dark ? QColor(0x38, 0x38, 0x3a) : QColor(0xe6, 0xe6, 0xe6);
    sheet.row({{QStringLiteral("Name"), columns[0], palette.text, true},
                  {QStringLiteral("Size"), columns[1], palette.text, true},
                  {QStringLiteral("Modified"), columns[2], palette.text, true},
                  {QStringLiteral("Type"), columns[3], palette.text, true}},
        [header](QPainter& p, QRect r) { p.fillRect(r.adjusted(12, 0, -12, 0), header); });
    for (const FileRow& row : pick(fileRows, 6, rng)) {
        sheet.row({{QString::fromLatin1(row.name), columns[0], palette.text},
            {QString::fromLatin1(row.size), columns[1], palette.muted},
            {QString::fromLatin1(row.modified), columns[2], palette.muted},
            {QString::fromLatin1(row.kind), columns[3], palette.text}});
    }
    sheet.gap(px / 2);
    const QColor accent = palette.selection;
    const QColor plain = dark ? QColor(0x45, 0x45, 0x48) : QColor(0xe0, 0xe0, 0xe0);
    sheet.row(
        {{QStringLiteral("Cancel"), 800 - 190, palette.text}, {QStringLiteral("Apply"), 800 - 88, Qt::white, true}},
        [accent, plain](QPainter& p, QRect r) {
            p.setPen(Qt::NoPen);
            p.setBrush(plain);
            p.drawRoundedRect(QRect(800 - 206, r.top() + 2, 90, r.height() - 4), 5, 5);
            p.setBrush(accent);
            p.drawRoundedRect(QRect(800 - 104, r.top() + 2, 84, r.height() - 4), 5, 5);
        },
        32);
    sheet.gap(std::max(0, 600 - px - sheet.height()));
    return {QStringLiteral("typical/") + font + (dark ? QStringLiteral("/dark") : QStringLiteral("/light")),
        QStringLiteral("typical"), sheet.render().copy(0, 0, 800, 600), 1.0, sheet.lines()};
}

QStringList sampleFonts()
{
    QStringList fonts {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Sans Mono")};
    const QStringList installed = QFontDatabase::families();
    for (const QString& extra : {QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans")}) {
        if (installed.contains(extra))
            fonts << extra;
    }
    return fonts;
}

std::vector<ScreenTextSample> screenTextSamples(const QStringList& fonts, int sizesPerExtraFont)
{
    std::vector<ScreenTextSample> samples;
    for (int f = 0; f < fonts.size(); ++f) {
        const QString& font = fonts[f];
        std::vector<int> sizes;
        if (f == 0) {
            sizes = {11, 12, 13, 14, 15, 16};
        } else {
            for (int i = 0; i < sizesPerExtraFont; ++i)
                sizes.push_back(11 + (f * 2 + i * 3) % 6);
        }
        for (int px : sizes) {
            Rng rng(std::uint32_t(f * 1000 + px));
            auto add = [&](const QString& family, const Sheet& sheet, QImage image, double scale) {
                samples.push_back(
                    {family + QLatin1Char('/') + font + QLatin1Char('/') + QString::number(px) + QStringLiteral("px"),
                        family, std::move(image), scale, sheet.lines()});
            };
            const Sheet light = windowSheet(font, px, lightPalette, rng);
            add(QStringLiteral("light"), light, light.render(), 1.0);
            const Sheet dark = windowSheet(font, px, darkPalette, rng);
            add(QStringLiteral("dark"), dark, dark.render(), 1.0);
            const Sheet menu = menuSheet(font, px, px % 2 ? darkPalette : lightPalette, rng);
            add(QStringLiteral("menu"), menu, menu.render(), 1.0);
            const Sheet table = tableSheet(font, px, px % 2 == 0, rng);
            add(QStringLiteral("table"), table, table.render(), 1.0);
            const Sheet colour = colourSheet(font, px, rng);
            add(QStringLiteral("colour"), colour, colour.render(), 1.0);
            const Sheet lcd = windowSheet(font, px, px % 2 ? darkPalette : lightPalette, rng);
            add(QStringLiteral("subpixel"), lcd, subpixelRender(lcd), 1.0);
            if (px % 2) {
                const Sheet hidpi
                    = px % 4 == 1 ? menuSheet(font, px, lightPalette, rng) : windowSheet(font, px, darkPalette, rng);
                add(QStringLiteral("hidpi"), hidpi, hidpi.render(2.0), 2.0);
            }
        }
    }
    return samples;
}

QString comparableText(const QString& text)
{
    QString plain = text;
    plain.replace(QChar(0x2018), QLatin1Char('\'')).replace(QChar(0x2019), QLatin1Char('\''));
    plain.replace(QChar(0x201c), QLatin1Char('"')).replace(QChar(0x201d), QLatin1Char('"'));
    plain.replace(QChar(0x2013), QLatin1Char('-')).replace(QChar(0x2014), QLatin1Char('-'));
    plain.replace(QChar(0x2026), QStringLiteral("..."));
    QStringList lines;
    for (const QString& line : plain.split(QLatin1Char('\n'))) {
        const QString simple = line.simplified();
        if (!simple.isEmpty())
            lines << simple;
    }
    return lines.join(QLatin1Char('\n'));
}

int editDistance(const QString& a, const QString& b)
{
    std::vector<int> previous(b.size() + 1), current(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

double characterErrorRate(const QString& expected, const QString& actual)
{
    const QString want = comparableText(expected), got = comparableText(actual);
    if (want.isEmpty())
        return got.isEmpty() ? 0.0 : 1.0;
    return double(editDistance(want, got)) / want.size();
}

} // namespace vantrel::samples
