// SPDX-License-Identifier: GPL-3.0-or-later
// The capture history window on the shared history store: filter and count, the empty state,
// the grid's layout and keyboard, menus per kind and what their commands reach, bad files, and
// the one window kept between shows.
#include "HistoryView.h"

#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "HistoryCell.h"
#include "HistoryFilterModel.h"
#include "HistoryGridView.h"
#include "HistoryListModel.h"
#include "HistoryWindowController.h"
#include "ThumbnailLoader.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vantrel;

namespace {

QImage plain(int width, int height, QColor color = QColor(30, 140, 90))
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QStringList actionTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator())
            texts.append(action->text());
    }
    return texts;
}

class HistoryViewTest : public ::testing::Test, public test::WindowFakes
{
protected:
    CaptureHistory& history = CaptureHistory::shared();
    QTemporaryDir files;
    std::unique_ptr<HistoryView> view;

    void SetUp() override
    {
        // The test runner's private data folder, never the user's.
        ASSERT_TRUE(history.folder().startsWith(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"))));
        history.clear();
    }
    void TearDown() override
    {
        view.reset();
        history.clear();
    }

    HistoryItem addPicture(CaptureKind kind, QSize size = QSize(64, 48), QColor color = QColor(30, 140, 90))
    {
        const std::optional<HistoryItem> item = history.add(plain(size.width(), size.height(), color), kind);
        EXPECT_TRUE(item.has_value());
        history.waitForPendingWrites();
        return item.value_or(HistoryItem {});
    }
    // A recording or GIF: any file does for the store, which copies it in.
    HistoryItem addVideo(CaptureKind kind)
    {
        const QString source = files.filePath(kind == CaptureKind::gif ? "clip.gif" : "clip.mp4");
        QFile file(source);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not really a movie");
        file.close();
        const std::optional<HistoryItem> item = history.addFile(QUrl::fromLocalFile(source), kind, 320, 240);
        EXPECT_TRUE(item.has_value());
        return item.value_or(HistoryItem {});
    }
    QString fileOf(const HistoryItem& item) { return history.filePath(item); }
    bool listed(const HistoryItem& item)
    {
        return std::any_of(history.items().begin(), history.items().end(),
            [&](const HistoryItem& other) { return other.id == item.id; });
    }

    void open()
    {
        view = std::make_unique<HistoryView>(history);
        view->resize(HistoryWindowController::contentSize);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    HistoryGridView* grid() const { return view->grid(); }
    QPoint cellCentre(int row) const { return grid()->visualRect(grid()->model()->index(row, 0)).center(); }
    int rowOfRecord(const HistoryItem& item) const
    {
        for (int row = 0; row < grid()->model()->rowCount(); ++row) {
            if (view->itemAt(row)->id == item.id)
                return row;
        }
        return -1;
    }
    // Waits until every cell in view has its thumbnail or has failed.
    bool waitForThumbnails()
    {
        return QTest::qWaitFor([&] {
            const ThumbnailLoader& loader = view->model()->thumbnails();
            return loader.queuedCount() == 0 && loader.runningCount() == 0;
        });
    }
    ThumbnailLoader::State thumbnailState(int row) const
    {
        return ThumbnailLoader::State(
            grid()->model()->index(row, 0).data(HistoryListModel::ThumbnailStateRole).toInt());
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(grid(), Qt::Key(key), modifiers);
    }
};

} // namespace

TEST_F(HistoryViewTest, TheFilterNarrowsTheGridAndTheCountIsAlwaysPlural)
{
    addPicture(CaptureKind::screenshot);
    addPicture(CaptureKind::window);
    addPicture(CaptureKind::screenshot);
    addVideo(CaptureKind::recording);
    open();

    QStringList titles;
    for (int tab = 0; tab < view->segmentBar()->count(); ++tab)
        titles.append(view->segmentBar()->tabText(tab));
    EXPECT_EQ(titles, (QStringList {"All", "Screenshots", "Windows", "Scrolling", "Videos", "GIFs"}));
    EXPECT_LE(view->segmentBar()->width(), HistoryView::segmentsMaximumWidth);

    struct Case
    {
        int segment;
        QString count;
        bool empty;
    };
    const Case cases[] = {
        {0, "4 items", false},
        {1, "2 items", false},
        {2, "1 items", false},
        {3, "0 items", true},
        {4, "1 items", false},
        // No GIF among the captures: the empty state, although there are captures.
        {5, "0 items", true},
    };
    for (const Case& c : cases) {
        view->segmentBar()->setCurrentIndex(c.segment);
        EXPECT_EQ(view->countText(), c.count) << "segment " << c.segment;
        EXPECT_EQ(view->showsEmptyState(), c.empty) << "segment " << c.segment;
        EXPECT_EQ(grid()->model()->rowCount(), c.count.split(' ').first().toInt());
    }
    view->setFilter(CaptureKind::window);
    EXPECT_EQ(view->segmentBar()->currentIndex(), 2);
    EXPECT_EQ(view->filterModel()->filter(), CaptureKind::window);
}

TEST_F(HistoryViewTest, AnEmptyHistoryShowsNoCapturesYetUnderEveryFilter)
{
    open();
    QLabel* text = test::findByText<QLabel>(view.get(), "No captures yet");
    ASSERT_NE(text, nullptr);
    for (const HistoryView::Segment& segment : HistoryView::segments()) {
        view->setFilter(segment.kind);
        EXPECT_EQ(view->countText(), "0 items");
        EXPECT_TRUE(view->showsEmptyState());
        EXPECT_TRUE(text->isVisible());
        EXPECT_FALSE(grid()->isVisible());
    }
}

TEST_F(HistoryViewTest, TheGridFollowsCapturesAddedAndDeletedWhileOpen)
{
    const HistoryItem first = addPicture(CaptureKind::screenshot);
    open();
    view->setFilter(CaptureKind::screenshot);
    EXPECT_EQ(view->countText(), "1 items");

    const HistoryItem second = addPicture(CaptureKind::screenshot);
    addPicture(CaptureKind::window); // filtered out
    EXPECT_EQ(view->countText(), "2 items");
    EXPECT_EQ(view->itemAt(0)->id, second.id) << "newest first";

    history.remove(second);
    EXPECT_EQ(view->countText(), "1 items");
    // Deleting the last visible capture turns the grid into the empty state.
    view->perform(HistoryCommand::remove, 0);
    EXPECT_FALSE(listed(first));
    EXPECT_TRUE(view->showsEmptyState());
    EXPECT_EQ(view->countText(), "0 items");
}

TEST_F(HistoryViewTest, ColumnsAdaptBetween180And240PointsWith14PointMargins)
{
    struct Case
    {
        int viewportWidth;
        int columns;
        qreal width;
        qreal left;
    };
    const Case cases[] = {
        {805, 4, (805 - 28 - 3 * 14) / 4.0, 14}, // the window's default width, beside a scroll bar
        {1920, 9, (1920 - 28 - 8 * 14) / 9.0, 14},
        {560, 2, 240, 14 + (532 - 494) / 2.0}, // at their widest the columns are centred
        {328, 1, 240, 14 + (300 - 240) / 2.0},
        {150, 1, 122, 14}, // narrower than one column: one column as wide as there is room
    };
    for (const Case& c : cases) {
        const HistoryGridView::Columns columns = HistoryGridView::columnsFor(c.viewportWidth);
        EXPECT_EQ(columns.count, c.columns) << c.viewportWidth;
        EXPECT_DOUBLE_EQ(columns.width, c.width) << c.viewportWidth;
        EXPECT_DOUBLE_EQ(columns.left, c.left) << c.viewportWidth;
    }

    for (int i = 0; i < 9; ++i)
        addPicture(CaptureKind::screenshot);
    open();
    const HistoryGridView::Columns columns = grid()->columns();
    const QRect first = grid()->visualRect(grid()->model()->index(0, 0));
    const QRect nextLine = grid()->visualRect(grid()->model()->index(columns.count, 0));
    EXPECT_EQ(first.top(), HistoryGridView::margin);
    EXPECT_EQ(first.left(), qRound(columns.left));
    EXPECT_EQ(nextLine.top(), first.top() + first.height() + HistoryGridView::spacing);
    EXPECT_GE(first.height(), HistoryCell::thumbnailHeight + HistoryCell::stackSpacing);
    // Spacing between cells hits no cell.
    EXPECT_FALSE(grid()->indexAt(QPoint(first.right() + HistoryGridView::spacing / 2, first.center().y())).isValid());
    EXPECT_EQ(grid()->indexAt(first.center()).row(), 0);
    EXPECT_EQ(grid()->indexAt(nextLine.center()).row(), columns.count);
}

TEST_F(HistoryViewTest, MenusOfferPinAndCopyTextForPicturesOnly)
{
    const QStringList pictureMenu {"Open", "Show Quick Access Overlay", "Copy", "Save to Export Location",
        "Pin to Screen", "Copy Text (OCR)", "Show in File Manager", "Delete"};
    const QStringList videoMenu {
        "Open", "Show Quick Access Overlay", "Copy", "Save to Export Location", "Show in File Manager", "Delete"};
    struct Case
    {
        CaptureKind kind;
        QStringList menu;
        QString badge;
    };
    const Case cases[] = {
        {CaptureKind::screenshot, pictureMenu, ""},
        {CaptureKind::window, pictureMenu, ""},
        {CaptureKind::scrolling, pictureMenu, ""},
        {CaptureKind::recording, videoMenu, "VIDEO"},
        {CaptureKind::gif, videoMenu, "GIF"},
    };
    for (const Case& c : cases) {
        if (isVideoKind(c.kind))
            addVideo(c.kind);
        else
            addPicture(c.kind);
    }
    open();
    for (const Case& c : cases) {
        view->setFilter(c.kind);
        std::unique_ptr<QMenu> menu(view->contextMenu(0));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(actionTexts(menu.get()), c.menu) << rawValue(c.kind).toStdString();
        // Delete stands apart at the end.
        EXPECT_TRUE(menu->actions().at(menu->actions().size() - 2)->isSeparator());
        EXPECT_EQ(HistoryCell::badgeText(c.kind), c.badge);
    }
}

TEST_F(HistoryViewTest, EachCommandReachesItsPartOfVantrel)
{
    const HistoryItem shot = addPicture(CaptureKind::screenshot, QSize(120, 80));
    open();
    std::unique_ptr<QMenu> menu(view->contextMenu(0));
    const auto trigger = [&](const char* text) {
        for (QAction* action : menu->actions()) {
            if (action->text() == QLatin1String(text))
                return action->trigger();
        }
        ADD_FAILURE() << "no menu item " << text;
    };
    const double mainScale = QGuiApplication::primaryScreen()->devicePixelRatio();

    trigger("Open");
    ASSERT_EQ(surfaces.editors.size(), 1u);
    ASSERT_TRUE(surfaces.editors[0]->image);
    EXPECT_EQ(surfaces.editors[0]->image->size(), QSize(120, 80));
    EXPECT_EQ(surfaces.editors[0]->scale, mainScale);
    EXPECT_EQ(surfaces.editors[0]->history->id, shot.id) << "edits go back into the history";

    trigger("Show Quick Access Overlay");
    ASSERT_EQ(surfaces.thumbnails.size(), 1u);
    EXPECT_EQ(surfaces.thumbnails[0]->history->id, shot.id);

    trigger("Copy");
    ASSERT_TRUE(clipboard.current && clipboard.current->image);
    EXPECT_EQ(clipboard.current->image->size(), QSize(120, 80));
    EXPECT_EQ(toasts.requests.back().text, "Copied to clipboard");

    trigger("Save to Export Location");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 1);

    trigger("Pin to Screen");
    ASSERT_EQ(surfaces.pins.size(), 1u);
    EXPECT_EQ(surfaces.pins[0].first.size(), QSize(120, 80));
    EXPECT_EQ(surfaces.pins[0].second, mainScale);

    trigger("Copy Text (OCR)");
    ASSERT_EQ(surfaces.recognized.size(), 1u);
    EXPECT_EQ(surfaces.recognized[0].first.size(), QSize(120, 80));

    trigger("Show in File Manager");
    EXPECT_EQ(workspace.revealed, std::vector<QUrl> {QUrl::fromLocalFile(fileOf(shot))});

    const QString file = fileOf(shot);
    trigger("Delete");
    EXPECT_FALSE(listed(shot));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(file); })) << "deleted on the store's worker";
    EXPECT_TRUE(view->showsEmptyState());
}

TEST_F(HistoryViewTest, VideosOpenInTheirApplicationAndCopyAsFiles)
{
    const HistoryItem movie = addVideo(CaptureKind::recording);
    open();
    view->perform(HistoryCommand::open, 0);
    EXPECT_TRUE(surfaces.editors.empty());
    EXPECT_EQ(workspace.opened, std::vector<QUrl> {QUrl::fromLocalFile(fileOf(movie))});
    view->perform(HistoryCommand::copy, 0);
    ASSERT_TRUE(clipboard.current);
    EXPECT_EQ(clipboard.current->fileURLs, QList<QUrl> {QUrl::fromLocalFile(fileOf(movie))});
}

TEST_F(HistoryViewTest, AVideoWhoseFileIsGoneSaysSoInsteadOfHandingOnNothing)
{
    for (CaptureKind kind : {CaptureKind::recording, CaptureKind::gif}) {
        history.clear();
        const HistoryItem movie = addVideo(kind);
        QFile::remove(fileOf(movie));
        open();
        for (HistoryCommand command : {HistoryCommand::open, HistoryCommand::showQuickAccess, HistoryCommand::copy,
                 HistoryCommand::saveToExportLocation}) {
            toasts.requests.clear();
            view->perform(command, 0);
            ASSERT_EQ(toasts.requests.size(), 1u) << historyCommandTitle(command).toStdString();
            EXPECT_EQ(toasts.requests[0].text, "Could not read this capture")
                << historyCommandTitle(command).toStdString();
        }
        EXPECT_TRUE(workspace.opened.empty()) << "no player started on a file that is not there";
        EXPECT_TRUE(surfaces.thumbnails.empty());
        EXPECT_FALSE(clipboard.current.has_value()) << "no link to a missing file on the clipboard";
        EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());

        // Revealing and deleting work on the record alone.
        view->perform(HistoryCommand::showInFileManager, 0);
        EXPECT_EQ(workspace.revealed.back(), QUrl::fromLocalFile(fileOf(movie)));
        view->perform(HistoryCommand::remove, 0);
        EXPECT_FALSE(listed(movie));
    }
}

TEST_F(HistoryViewTest, AnUnreadableFileGivesACellWithoutThumbnailWhoseCommandsStillBehave)
{
    const HistoryItem broken = addPicture(CaptureKind::screenshot);
    const HistoryItem vanished = addPicture(CaptureKind::window);
    {
        QFile file(fileOf(broken));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("\x89PNG\r\n\x1a\n and then nothing useful");
    }
    // Gone after the last prune: still listed until the next one.
    QFile::remove(fileOf(vanished));
    open();
    grid()->viewport()->repaint();
    ASSERT_TRUE(waitForThumbnails());
    for (const HistoryItem& item : {broken, vanished}) {
        const int row = rowOfRecord(item);
        ASSERT_GE(row, 0);
        EXPECT_EQ(thumbnailState(row), ThumbnailLoader::State::failed);
        EXPECT_TRUE(grid()->model()->index(row, 0).data(HistoryListModel::ThumbnailRole).value<QImage>().isNull());

        toasts.requests.clear();
        view->perform(HistoryCommand::open, row);
        view->perform(HistoryCommand::copy, row);
        view->perform(HistoryCommand::pin, row);
        EXPECT_TRUE(surfaces.editors.empty());
        EXPECT_TRUE(surfaces.pins.empty());
        EXPECT_FALSE(clipboard.current.has_value());
        ASSERT_EQ(toasts.requests.size(), 3u);
        EXPECT_EQ(toasts.requests[0].text, "Could not read this capture");

        view->perform(HistoryCommand::showInFileManager, row);
        EXPECT_EQ(workspace.revealed.back(), QUrl::fromLocalFile(fileOf(item)));
    }
    view->perform(HistoryCommand::remove, rowOfRecord(broken));
    EXPECT_FALSE(listed(broken));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(fileOf(broken)); })) << "deleted on the store's worker";
    EXPECT_EQ(view->countText(), "1 items");
}

TEST_F(HistoryViewTest, TheKeyboardMovesOpensCopiesAndDeletes)
{
    // Widths tell the captures apart: the newest, listed first, is 109 pixels wide.
    std::vector<HistoryItem> items;
    for (int i = 0; i < 10; ++i)
        items.push_back(addPicture(CaptureKind::screenshot, QSize(100 + i, 50)));
    open();
    grid()->setFocus();
    const int columns = grid()->columns().count;
    ASSERT_GE(columns, 3);
    press(Qt::Key_Home);
    EXPECT_EQ(grid()->currentIndex().row(), 0);
    press(Qt::Key_Right);
    press(Qt::Key_Down);
    EXPECT_EQ(grid()->currentIndex().row(), 1 + columns);
    press(Qt::Key_Left);
    press(Qt::Key_Up);
    EXPECT_EQ(grid()->currentIndex().row(), 0);
    press(Qt::Key_Up); // nothing above
    EXPECT_EQ(grid()->currentIndex().row(), 0);
    press(Qt::Key_End);
    EXPECT_EQ(grid()->currentIndex().row(), 9);
    press(Qt::Key_Home);
    press(Qt::Key_Right);
    EXPECT_TRUE(grid()->selectionModel()->isSelected(grid()->currentIndex()));

    press(Qt::Key_Return);
    ASSERT_EQ(surfaces.editors.size(), 1u);
    EXPECT_EQ(surfaces.editors[0]->image->width(), 108);

    press(Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(clipboard.current && clipboard.current->image);
    EXPECT_EQ(clipboard.current->image->width(), 108);

    const QString file = fileOf(items[8]);
    press(Qt::Key_Delete);
    EXPECT_FALSE(listed(items[8]));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(file); })) << "deleted on the store's worker";
    // The next capture moved into its place and has the keyboard.
    EXPECT_EQ(grid()->currentIndex().row(), 1);
    EXPECT_EQ(view->itemAt(1)->id, items[7].id);
    EXPECT_TRUE(grid()->selectionModel()->isSelected(grid()->currentIndex()));
}

TEST_F(HistoryViewTest, TheMenuKeyOpensTheCurrentCellsMenu)
{
    addVideo(CaptureKind::gif);
    addPicture(CaptureKind::screenshot, QSize(70, 40)); // newest: the first cell
    open();
    grid()->setFocus();
    press(Qt::Key_Home);
    press(Qt::Key_Right);
    ASSERT_EQ(grid()->currentIndex().row(), 1);
    // What the window sends the focused widget for the Menu key or Shift+F10: a keyboard context
    // menu event at the cursor rectangle, which an item view puts on its current cell.
    const QPoint at = grid()->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, grid()->mapToGlobal(at));
    QApplication::sendEvent(grid(), &event);
    ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    EXPECT_EQ(actionTexts(menu),
        (QStringList {
            "Open", "Show Quick Access Overlay", "Copy", "Save to Export Location", "Show in File Manager", "Delete"}))
        << "the GIF's menu: the current cell's, not the first one's";
    menu->actions().first()->trigger();
    menu->close();
    EXPECT_TRUE(surfaces.editors.empty());
    EXPECT_EQ(workspace.opened.size(), 1u);
}

TEST_F(HistoryViewTest, DoubleClickingACellOpensItInTheEditor)
{
    addPicture(CaptureKind::screenshot, QSize(70, 40));
    addPicture(CaptureKind::scrolling, QSize(90, 400));
    open();
    // What a real double click sends: a click, then the second press as a double click.
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(1));
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(1));
    ASSERT_EQ(surfaces.editors.size(), 1u);
    EXPECT_EQ(surfaces.editors[0]->image->size(), QSize(70, 40));
    // A double click between cells opens nothing.
    const QRect first = grid()->visualRect(grid()->model()->index(0, 0));
    const QPoint between(first.center().x(), 4);
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, between);
    QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, between);
    EXPECT_EQ(surfaces.editors.size(), 1u);
}

TEST_F(HistoryViewTest, ThumbnailsOfCellsScrolledAwayAreCancelled)
{
    for (int i = 0; i < 150; ++i)
        addPicture(CaptureKind::screenshot, QSize(640, 400), QColor::fromHsv(i * 2, 200, 200));
    open();
    grid()->viewport()->repaint();
    const auto [firstTop, lastTop] = grid()->visibleRows();
    ASSERT_GE(lastTop, 5);
    grid()->verticalScrollBar()->setValue(grid()->verticalScrollBar()->maximum());
    grid()->viewport()->repaint();
    const auto [first, last] = grid()->visibleRows();
    ASSERT_EQ(last, 149);
    const ThumbnailLoader& loader = view->model()->thumbnails();
    // Only the cells in view are on their way (a decode cancelled mid-way may still be ending).
    EXPECT_LE(loader.wantedCount(), last - first + 1);
    for (int row = firstTop; row <= lastTop; ++row) {
        const ThumbnailLoader::State state = thumbnailState(row);
        EXPECT_TRUE(state == ThumbnailLoader::State::none || state == ThumbnailLoader::State::ready) << "row " << row;
    }
    ASSERT_TRUE(waitForThumbnails());
    for (int row = first; row <= last; ++row)
        EXPECT_EQ(thumbnailState(row), ThumbnailLoader::State::ready) << "row " << row;
    // Far fewer decodes than captures: the top screenful and the bottom one.
    EXPECT_LE(loader.decodesStarted(), 2 * (last - first + 1) + (lastTop - firstTop + 1));
}

TEST_F(HistoryViewTest, AHiddenWindowHoldsNoThumbnailsAndGetsThemBackWhenShown)
{
    for (int i = 0; i < 12; ++i)
        addPicture(CaptureKind::screenshot, QSize(640, 400), QColor::fromHsv(i * 20, 200, 200));
    open();
    grid()->viewport()->repaint();
    ASSERT_TRUE(waitForThumbnails());
    const ThumbnailLoader& loader = view->model()->thumbnails();
    ASSERT_GT(loader.cachedBytes(), 0);
    EXPECT_EQ(thumbnailState(0), ThumbnailLoader::State::ready);

    // Hidden: nothing stays cached or on its way.
    view->hide();
    EXPECT_EQ(loader.cachedBytes(), 0);
    EXPECT_EQ(loader.wantedCount(), 0);
    EXPECT_EQ(thumbnailState(0), ThumbnailLoader::State::none);

    // Shown again: the cells in view ask for their thumbnails as they are painted.
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    const auto [first, last] = grid()->visibleRows();
    ASSERT_GE(last, 3);
    EXPECT_TRUE(QTest::qWaitFor([&, first = first, last = last] {
        for (int row = first; row <= last; ++row) {
            if (thumbnailState(row) != ThumbnailLoader::State::ready)
                return false;
        }
        return true;
    }));
}

TEST_F(HistoryViewTest, TheOneWindowComesBackWithItsFilterAndScrollPositionAndPrunes)
{
    std::vector<HistoryItem> items;
    for (int i = 0; i < 40; ++i)
        items.push_back(addPicture(i % 4 == 0 ? CaptureKind::window : CaptureKind::screenshot));
    HistoryWindowController::show();
    QWidget* window = HistoryWindowController::window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), "Capture History");
    EXPECT_EQ(window->size(), HistoryWindowController::contentSize);
    EXPECT_EQ(window->minimumSize(), QSize(HistoryView::minimumWidth, HistoryView::minimumHeight));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->geometry().center() - screen.center()).manhattanLength(), 2);

    HistoryView* shown = HistoryWindowController::view();
    shown->setFilter(CaptureKind::screenshot);
    EXPECT_EQ(shown->countText(), "30 items");
    QScrollBar* bar = shown->grid()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 300);
    bar->setValue(300);
    window->close();
    EXPECT_FALSE(window->isVisible());

    // Meanwhile a capture's file went away: the next show prunes its record.
    QFile::remove(fileOf(items[1]));
    HistoryWindowController::show();
    EXPECT_EQ(HistoryWindowController::window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(listed(items[1]));
    EXPECT_EQ(shown->filter(), CaptureKind::screenshot);
    EXPECT_EQ(shown->countText(), "29 items");
    EXPECT_EQ(bar->value(), 300);
    window->close();
}
