// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window on the offscreen platform, with two screens (see data/screens.json): a
// 2560 × 1440 "Large" one and a 1440 × 900 "Laptop" to its right.
#include "BackgroundPanel.h"
#include "CanvasView.h"
#include "CaptureHistory.h"
#include "CaptureItem.h"
#include "CaptureSurfaces.h"
#include "DesktopFakes.h"
#include "EditorBottomBar.h"
#include "EditorDocument.h"
#include "EditorToolbar.h"
#include "EditorWindowController.h"
#include "Fakes.h"
#include "PreferenceStore.h"
#include "RecordingSurfaces.h"
#include "Service.h"
#include "Settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

QImage plainImage(int w, int h, QColor color = Qt::white)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

QScreen* screenNamed(const QString& name)
{
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->name() == name)
            return screen;
    }
    return nullptr;
}

class Editor : public ::testing::Test, protected DesktopFakes
{
protected:
    RecordingSurfaces surfaces;
    ScopedService<CaptureSurfaces> surfacesSlot {&surfaces};

    std::shared_ptr<CaptureItem> item;
    EditorWindowController* editor = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(screenNamed(QStringLiteral("Large")) && screenNamed(QStringLiteral("Laptop")))
            << "run with the two-screen offscreen configuration";
        QCursor::setPos(screenNamed(QStringLiteral("Large"))->geometry().center());
    }
    void TearDown() override
    {
        for (EditorWindowController* open : EditorWindowController::openEditors())
            open->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void open(QImage image = plainImage(400, 300), double scale = 1.0)
    {
        item = CaptureItem::fromImage(std::move(image), scale, CaptureKind::screenshot);
        editor = EditorWindowController::open(item);
        ASSERT_TRUE(editor);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor->window()));
    }
    EditorDocument& doc() { return editor->doc(); }
    CanvasView* canvas() { return editor->canvas(); }
    QPoint view(QPointF document) { return canvas()->geometryNow().toView(document).toPoint(); }
    // A red filled rectangle drawn with the mouse.
    void drawRectangle(QPointF from, QPointF to)
    {
        doc().setTool(Tool::filledRect);
        QTest::mousePress(canvas(), Qt::LeftButton, {}, view(from));
        QTest::mouseMove(canvas(), view(to));
        QTest::mouseRelease(canvas(), Qt::LeftButton, {}, view(to));
    }
    void shortcut(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier, QWidget* target = nullptr)
    {
        QTest::keyClick(target ? target : canvas(), key, modifiers);
    }
    void closeAndSettle()
    {
        QPointer<EditorWindowController> watched(editor);
        editor->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(watched.isNull());
        editor = nullptr;
    }
    bool shown(QWidget* widget) { return widget->isVisibleTo(editor->window()); }
};

} // namespace

// --- opening -------------------------------------------------------------------------------

TEST(EditorWindowSize, FollowsTheImageWithinMinimumsAndNinetyPercentOfTheScreen)
{
    struct Case
    {
        QSize pixels;
        double scale;
        QSize visible;
        QSize expected;
    };
    const Case cases[] = {
        {{400, 300}, 2, {2560, 1440}, {760, 480}},
        {{3000, 2000}, 1, {1440, 900}, {1296, 810}},
        {{1000, 600}, 1, {2560, 1440}, {1080, 750}},
        {{2000, 1200}, 2, {2560, 1440}, {1080, 750}},
        // A screen smaller than the window's minimum still gets the minimum.
        {{3000, 2000}, 1, {640, 400}, {720, 420}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EditorWindowController::windowSize(c.pixels, c.scale, c.visible), c.expected)
            << c.pixels.width() << "x" << c.pixels.height() << " at " << c.scale;
}

TEST_F(Editor, OpensSizedForTheScreenUnderThePointerAndCentredOnIt)
{
    QScreen* laptop = screenNamed(QStringLiteral("Laptop"));
    QCursor::setPos(laptop->geometry().center());
    open(plainImage(3000, 2000), 1.0);
    EXPECT_EQ(editor->window()->size(), QSize(1296, 810));
    const QPoint offCentre = editor->window()->geometry().center() - laptop->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << "centred on the screen under the pointer";
    EXPECT_EQ(editor->window()->windowTitle(), QStringLiteral("Vantrel Editor"));
    EXPECT_EQ(editor->window()->minimumSize(), QSize(720, 420));
    EXPECT_TRUE(EditorWindowController::openEditors().contains(editor));
    EXPECT_EQ(doc().scale(), 1.0);

    QCursor::setPos(screenNamed(QStringLiteral("Large"))->geometry().center());
    EditorWindowController* second
        = EditorWindowController::open(CaptureItem::fromImage(plainImage(400, 300), 2.0, CaptureKind::screenshot));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->window()->size(), QSize(760, 480));
    EXPECT_EQ(second->doc().lineWidth(), 6) << "3 points at scale 2";
    EXPECT_EQ(EditorWindowController::openEditors().size(), 2);
}

TEST_F(Editor, AnItemWithoutAPictureOpensNothing)
{
    const auto recording
        = CaptureItem::fromFile(QUrl::fromLocalFile(QStringLiteral("/tmp/x.mp4")), CaptureKind::recording);
    EXPECT_EQ(EditorWindowController::open(recording), nullptr);
    EXPECT_EQ(EditorWindowController::open(nullptr), nullptr);
    EXPECT_TRUE(EditorWindowController::openEditors().isEmpty());
}

// --- closing -------------------------------------------------------------------------------

TEST_F(Editor, ClosingUnchangedLeavesTheItemAlone)
{
    open();
    const qint64 original = item->image->cacheKey();
    doc().setTool(Tool::select);
    QTest::mouseClick(canvas(), Qt::LeftButton, {}, view({200, 150})); // no edit
    closeAndSettle();
    EXPECT_EQ(item->image->cacheKey(), original);
    EXPECT_TRUE(EditorWindowController::openEditors().isEmpty());
}

TEST_F(Editor, ClosingAfterAnEditWritesTheRenderedImageBackAndIntoTheHistory)
{
    const std::optional<HistoryItem> record
        = CaptureHistory::shared().add(plainImage(400, 300), CaptureKind::screenshot);
    ASSERT_TRUE(record);
    item = CaptureItem::fromImage(plainImage(400, 300), 1.0, CaptureKind::screenshot);
    item->history = record;
    editor = EditorWindowController::open(item);
    ASSERT_TRUE(editor);
    drawRectangle({100, 100}, {200, 200});
    EXPECT_TRUE(doc().dirty());
    closeAndSettle();

    EXPECT_EQ(item->image->pixelColor(150, 150), systemRed());
    EXPECT_EQ(item->image->pixelColor(50, 50), QColor(Qt::white));
    const QImage stored = QImageReader(CaptureHistory::shared().filePath(*record)).read();
    ASSERT_FALSE(stored.isNull());
    EXPECT_EQ(stored.pixelColor(150, 150), systemRed());
    CaptureHistory::shared().remove(*record);
}

TEST_F(Editor, QuittingKeepsTheEditsAsClosingDoes)
{
    open();
    drawRectangle({10, 10}, {60, 60});
    EditorWindowController::commitOpenEditors();
    EXPECT_EQ(item->image->pixelColor(30, 30), systemRed());
    EXPECT_FALSE(doc().dirty());
}

// --- shortcuts -----------------------------------------------------------------------------

TEST_F(Editor, CtrlZIsTheTextFieldsOwnWhileTypingAndUndoesOnTheCanvas)
{
    open();
    drawRectangle({10, 10}, {60, 60});
    doc().setTool(Tool::text);
    QTest::mouseClick(canvas(), Qt::LeftButton, {}, view({200, 200}));
    QLineEdit* field = canvas()->textField();
    ASSERT_TRUE(field);
    QTest::keyClicks(field, QStringLiteral("abc"));
    shortcut(Qt::Key_Z, Qt::ControlModifier, field);
    EXPECT_NE(field->text(), QStringLiteral("abc")) << "the field undid its typing";
    EXPECT_EQ(doc().annotations().size(), 2u) << "the document did not undo";
    EXPECT_EQ(canvas()->textField(), field);
    QTest::keyClicks(field, QStringLiteral("xyz"));
    QTest::keyClick(field, Qt::Key_Return);

    const std::size_t before = doc().annotations().size();
    shortcut(Qt::Key_Z);
    EXPECT_EQ(doc().annotations().size(), before - 1);
    shortcut(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(doc().annotations().size(), before);
}

TEST_F(Editor, ZoomKeysStepFromFitToActualSizeAndBack)
{
    open();
    EXPECT_EQ(canvas()->zoom(), 0);
    shortcut(Qt::Key_Equal);
    EXPECT_DOUBLE_EQ(canvas()->zoom(), 1.25);
    shortcut(Qt::Key_Minus);
    EXPECT_DOUBLE_EQ(canvas()->zoom(), 1.0);
    shortcut(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(canvas()->zoom(), 1.25);
    shortcut(Qt::Key_0);
    EXPECT_EQ(canvas()->zoom(), 0);
    shortcut(Qt::Key_Minus);
    EXPECT_DOUBLE_EQ(canvas()->zoom(), 0.8);
    EXPECT_DOUBLE_EQ(canvas()->geometryNow().s, 0.8);
    for (int i = 0; i < 60; ++i)
        shortcut(Qt::Key_Equal);
    EXPECT_DOUBLE_EQ(canvas()->zoom(), 32) << "held in the range the painter can draw";
}

TEST_F(Editor, CtrlShortcutsCopySaveAndPickTheSelectTool)
{
    open();
    drawRectangle({100, 100}, {200, 200});
    shortcut(Qt::Key_C);
    ASSERT_TRUE(clipboard.current && clipboard.current->image);
    EXPECT_EQ(clipboard.current->image->pixelColor(150, 150), systemRed());
    EXPECT_FALSE(doc().dirty());
    ASSERT_FALSE(toasts.requests.empty());
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("Copied to clipboard"));

    drawRectangle({250, 20}, {300, 60});
    shortcut(Qt::Key_S);
    ASSERT_TRUE(item->savedURL);
    const QImage saved = QImageReader(item->savedURL->toLocalFile()).read();
    EXPECT_EQ(saved.pixelColor(270, 40), systemRed());
    EXPECT_EQ(QFileInfo(item->savedURL->toLocalFile()).absolutePath(), QDir(folder.path()).absolutePath());

    shortcut(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(saveDialog.requests.size(), 1u);

    shortcut(Qt::Key_A);
    EXPECT_EQ(doc().tool(), Tool::select);
    shortcut(Qt::Key_W);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(EditorWindowController::openEditors().isEmpty());
    editor = nullptr;
}

TEST_F(Editor, ShortcutsOfOtherWindowsAndPlainKeysPassThrough)
{
    open();
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(doc().tool(), Tool::arrow);
    EXPECT_FALSE(editor->handleShortcut(QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier)));
    EXPECT_FALSE(editor->handleShortcut(QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier)));
}

// --- toolbar -------------------------------------------------------------------------------

TEST_F(Editor, TheDefaultWindowShowsEveryToolbarControlWhicheverToolIsChosen)
{
    open(); // a small image: the window's default 760-point width
    ASSERT_LE(editor->window()->width(), 760);
    EditorToolbar* bar = editor->toolbar();
    // Every control lies wholly inside the bar and inside the window, overlapping no other.
    auto checkAllShown = [&](const std::string& when) {
        // A change of rows asks the window to lay itself out again: let every such request land.
        for (int i = 0; i < 4; ++i)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        std::vector<QWidget*> controls {bar->colorWell(), bar->strokeWidthButton(), bar->undoButton(),
            bar->redoButton(), bar->transformButton(), bar->backgroundToggle()};
        for (const auto& [tool, button] : bar->toolButtons())
            controls.push_back(button);
        for (QAbstractButton* swatch : bar->swatches())
            controls.push_back(swatch);
        for (QWidget* optional : std::initializer_list<QWidget*> {bar->arrowStylePicker(), bar->textStylePicker(),
                 bar->fontSizeButton(), bar->cropDoneButton(), bar->cropResetButton()}) {
            if (shown(optional))
                controls.push_back(optional);
        }
        std::vector<QRect> placed;
        for (QWidget* control : controls) {
            ASSERT_TRUE(shown(control)) << when;
            const QRect inWindow(control->mapTo(editor->window(), QPoint(0, 0)), control->size());
            EXPECT_TRUE(editor->window()->rect().contains(inWindow))
                << when << ": " << control->toolTip().toStdString();
            EXPECT_TRUE(QRect(bar->mapTo(editor->window(), QPoint(0, 0)), bar->size()).contains(inWindow))
                << when << ": " << control->toolTip().toStdString();
            for (const QRect& other : placed)
                EXPECT_FALSE(other.intersects(inWindow)) << when << ": " << control->toolTip().toStdString();
            placed.push_back(inWindow);
        }
    };
    for (Tool tool : {Tool::arrow, Tool::text, Tool::crop, Tool::select}) {
        doc().setTool(tool);
        checkAllShown(rawValue(tool).toStdString());
    }
    // The canvas starts below the bar, however many rows the bar takes.
    EXPECT_GE(canvas()->mapTo(editor->window(), QPoint(0, 0)).y(),
        bar->mapTo(editor->window(), QPoint(0, bar->height())).y());
}

TEST_F(Editor, StylePickersAppearWithTheirToolOrSelection)
{
    open();
    EditorToolbar* bar = editor->toolbar();
    EXPECT_TRUE(shown(bar->arrowStylePicker())) << "the arrow is the first tool";
    EXPECT_FALSE(shown(bar->textStylePicker()));
    EXPECT_FALSE(shown(bar->cropDoneButton()));

    doc().setTool(Tool::rectangle);
    EXPECT_FALSE(shown(bar->arrowStylePicker()));

    const QUuid arrow = *doc().createAnnotation(Tool::arrow, {10, 10});
    doc().modifyAnnotation(arrow, [](Annotation& a) { a.end = {100, 10}; });
    doc().setTool(Tool::select);
    EXPECT_FALSE(shown(bar->arrowStylePicker()));
    doc().setSelectedID(arrow);
    EXPECT_TRUE(shown(bar->arrowStylePicker()));
    doc().setSelectedID(std::nullopt);
    EXPECT_FALSE(shown(bar->arrowStylePicker()));

    doc().setTool(Tool::text);
    EXPECT_TRUE(shown(bar->textStylePicker()));
    EXPECT_TRUE(shown(bar->fontSizeButton()));
    EXPECT_FALSE(shown(bar->arrowStylePicker()));

    doc().setTool(Tool::crop);
    EXPECT_TRUE(shown(bar->cropDoneButton()));
    EXPECT_TRUE(shown(bar->cropResetButton()));
    EXPECT_FALSE(shown(bar->textStylePicker()));
}

TEST_F(Editor, ToolbarControlsSetTheStyleInPoints)
{
    open(plainImage(400, 300), 2.0);
    EditorToolbar* bar = editor->toolbar();
    EXPECT_EQ(bar->toolButton(Tool::rectangle)->toolTip(), QStringLiteral("Rectangle (R)"));
    EXPECT_EQ(bar->toolButton(Tool::filledRect)->toolTip(), QStringLiteral("Filled Rectangle (F)"));
    QTest::mouseClick(bar->toolButton(Tool::pencil), Qt::LeftButton);
    EXPECT_EQ(doc().tool(), Tool::pencil);

    QStringList labels;
    for (QAction* action : bar->strokeWidthButton()->menu()->actions())
        labels << action->text();
    EXPECT_EQ(labels, QStringList({"1 pt", "2 pt", "3 pt", "5 pt", "8 pt", "12 pt"}));
    bar->strokeWidthButton()->menu()->actions().at(4)->trigger();
    EXPECT_DOUBLE_EQ(doc().lineWidth(), 16) << "8 points at scale 2";
    EXPECT_TRUE(bar->strokeWidthButton()->menu()->actions().at(4)->isChecked());
    bar->fontSizeButton()->menu()->actions().at(3)->trigger();
    EXPECT_DOUBLE_EQ(doc().fontSize(), 48) << "24 points at scale 2";

    ASSERT_EQ(bar->swatches().size(), 9u);
    QTest::mouseClick(bar->swatches()[4], Qt::LeftButton);
    EXPECT_EQ(doc().color(), swatchColors()[4]);
    EXPECT_TRUE(doc().undoStack().empty()) << "no selection, no undo step";

    // With a selection, one undo step restyles it.
    const QUuid id = *doc().createAnnotation(Tool::rectangle, {10, 10});
    doc().setTool(Tool::select);
    doc().setSelectedID(id);
    const std::size_t steps = doc().undoStack().size();
    QTest::mouseClick(bar->swatches()[8], Qt::LeftButton);
    EXPECT_EQ(doc().annotations().front().color, QColor(Qt::black));
    EXPECT_EQ(doc().undoStack().size(), steps + 1);

    doc().setTool(Tool::arrow);
    bar->arrowStylePicker()->setCurrentIndex(2);
    Q_EMIT bar->arrowStylePicker()->activated(2);
    EXPECT_EQ(doc().arrowStyle(), 2);
}

TEST_F(Editor, CropHandlesShowOnAWhitePictureAndResizeTheCrop)
{
    open(plainImage(400, 300, Qt::white));
    doc().setTool(Tool::crop);
    doc().setCrop(QRectF(50, 50, 200, 150));
    // Dark pixels around each handle: a white handle alone would vanish into the picture.
    const QImage shot = canvas()->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    for (const QPointF& handle : CanvasView::cropHandles(QRectF(view({50, 50}), view({250, 200})))) {
        int dark = 0;
        const QPoint centre = (handle * ratio).toPoint();
        for (int y = -8; y <= 8; ++y) {
            for (int x = -8; x <= 8; ++x)
                dark += qGray(shot.pixel(centre + QPoint(x, y))) < 100 ? 1 : 0;
        }
        EXPECT_GT(dark, 12) << handle.x() << "," << handle.y();
    }

    struct Case
    {
        QPointF grab; // document pixels
        QPointF to;
        QRectF crop;
    };
    const std::vector<Case> cases = {
        {{250, 200}, {300, 260}, QRectF(50, 50, 250, 210)}, // bottom-right corner
        {{50, 50}, {20, 10}, QRectF(20, 10, 230, 190)}, // top-left corner
        {{150, 50}, {170, 30}, QRectF(50, 30, 200, 170)}, // top side: height only
        {{250, 125}, {400, 90}, QRectF(50, 50, 350, 150)}, // right side, clamped to the picture
        {{250, 200}, {20, 20}, QRectF(20, 20, 30, 30)}, // dragged past the opposite corner: flips
    };
    for (const Case& c : cases) {
        doc().setCrop(QRectF(50, 50, 200, 150));
        const std::size_t steps = doc().undoStack().size();
        QTest::mousePress(canvas(), Qt::LeftButton, {}, view(c.grab));
        QTest::mouseMove(canvas(), view(c.to));
        QTest::mouseRelease(canvas(), Qt::LeftButton, {}, view(c.to));
        ASSERT_TRUE(doc().crop());
        EXPECT_NEAR(doc().crop()->left(), c.crop.left(), 1.5) << c.grab.x() << "," << c.grab.y();
        EXPECT_NEAR(doc().crop()->top(), c.crop.top(), 1.5) << c.grab.x() << "," << c.grab.y();
        EXPECT_NEAR(doc().crop()->width(), c.crop.width(), 1.5) << c.grab.x() << "," << c.grab.y();
        EXPECT_NEAR(doc().crop()->height(), c.crop.height(), 1.5) << c.grab.x() << "," << c.grab.y();
        EXPECT_EQ(doc().undoStack().size(), steps + 1) << "one undo step per drag";
    }

    // Without a crop the picture's own corners are handles.
    doc().setCrop(std::nullopt);
    QTest::mousePress(canvas(), Qt::LeftButton, {}, view({400, 300}));
    QTest::mouseMove(canvas(), view({300, 200}));
    QTest::mouseRelease(canvas(), Qt::LeftButton, {}, view({300, 200}));
    ASSERT_TRUE(doc().crop());
    EXPECT_NEAR(doc().crop()->width(), 300, 1.5);
    EXPECT_NEAR(doc().crop()->height(), 200, 1.5);
}

TEST_F(Editor, CropButtonsFinishAndResetTheCrop)
{
    open();
    doc().setTool(Tool::crop);
    QTest::mousePress(canvas(), Qt::LeftButton, {}, view({10, 10}));
    QTest::mouseMove(canvas(), view({110, 60}));
    QTest::mouseRelease(canvas(), Qt::LeftButton, {}, view({110, 60}));
    ASSERT_TRUE(doc().crop());
    QTest::mouseClick(editor->toolbar()->cropResetButton(), Qt::LeftButton);
    EXPECT_FALSE(doc().crop());
    doc().undo();
    EXPECT_TRUE(doc().crop()) << "Reset is undoable";
    QTest::mouseClick(editor->toolbar()->cropDoneButton(), Qt::LeftButton);
    EXPECT_EQ(doc().tool(), Tool::select);
}

TEST_F(Editor, MenuCommandsCommitTheTextBeingTypedFirst)
{
    open();
    doc().setTool(Tool::text);
    QTest::mouseClick(canvas(), Qt::LeftButton, {}, view({50, 150}));
    ASSERT_TRUE(canvas()->textField());
    QTest::keyClicks(canvas()->textField(), QStringLiteral("keep me"));
    // Rotating bakes the annotations into the picture: the typed text must be among them.
    QMenu* transforms = editor->toolbar()->transformButton()->menu();
    transforms->actions().at(1)->trigger(); // Rotate Right
    EXPECT_FALSE(canvas()->textField());
    EXPECT_EQ(doc().base().size(), QSize(300, 400));
    doc().undo();
    ASSERT_EQ(doc().annotations().size(), 1u);
    EXPECT_EQ(doc().annotations().front().text, QStringLiteral("keep me"));
}

// --- background panel ----------------------------------------------------------------------

TEST_F(Editor, TheBackgroundToggleShowsThePanel)
{
    open();
    BackgroundPanel* panel = editor->backgroundPanel();
    EXPECT_FALSE(shown(panel));
    QTest::mouseClick(editor->toolbar()->backgroundToggle(), Qt::LeftButton);
    EXPECT_TRUE(doc().showBackgroundPanel());
    EXPECT_TRUE(shown(panel));
    EXPECT_EQ(panel->width(), BackgroundPanel::panelWidth);
    EXPECT_TRUE(doc().undoStack().empty());
}

TEST_F(Editor, PanelChangesAreUndoStepsThatTurnTheBackgroundOn)
{
    open(plainImage(1000, 400), 2.0);
    doc().setShowBackgroundPanel(true);
    BackgroundPanel* panel = editor->backgroundPanel();
    EXPECT_DOUBLE_EQ(panel->sliderMaximum(panel->paddingSlider()), 300);
    EXPECT_DOUBLE_EQ(panel->sliderMaximum(panel->cornerRadiusSlider()), 80);
    EXPECT_DOUBLE_EQ(panel->sliderMaximum(panel->shadowSlider()), 1);

    // Every value the padding slider passes through is its own step.
    QSlider* padding = panel->paddingSlider();
    for (int value : {10, 11, 12})
        padding->setValue(value);
    EXPECT_EQ(doc().undoStack().size(), 3u);
    EXPECT_TRUE(doc().background().enabled);
    EXPECT_NEAR(doc().background().padding, panel->sliderValue(padding), 1e-9);
    EXPECT_NEAR(doc().background().padding, 12, 0.5);

    QTest::mouseClick(panel->enabledSwitch(), Qt::LeftButton, {}, QPoint(8, panel->enabledSwitch()->height() / 2));
    EXPECT_FALSE(doc().background().enabled);
    EXPECT_EQ(doc().undoStack().size(), 4u);

    // A preset turns it back on; its swatch is outlined only while the background shows.
    QAbstractButton* ocean = panel->presetSwatches().at(1);
    EXPECT_EQ(ocean->toolTip(), QStringLiteral("Ocean"));
    const QImage plain = ocean->grab().toImage();
    QTest::mouseClick(ocean, Qt::LeftButton);
    EXPECT_TRUE(doc().background().enabled);
    EXPECT_EQ(doc().background().presetID, 1);
    EXPECT_NE(ocean->grab().toImage(), plain);
    QTest::mouseClick(panel->enabledSwitch(), Qt::LeftButton, {}, QPoint(8, panel->enabledSwitch()->height() / 2));
    EXPECT_EQ(ocean->grab().toImage(), plain);

    QTest::mouseClick(panel->aspectButton(AspectRatio::r16x9), Qt::LeftButton);
    EXPECT_EQ(doc().background().aspect, AspectRatio::r16x9);
    EXPECT_TRUE(doc().background().enabled);
    EXPECT_TRUE(panel->aspectButton(AspectRatio::r16x9)->isChecked());

    const std::size_t steps = doc().undoStack().size();
    QTest::mouseClick(panel->autoBalanceButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(doc().background().padding, 80);
    EXPECT_EQ(doc().undoStack().size(), steps + 1);

    // Undo moves the controls back without recording anything.
    doc().undo();
    EXPECT_EQ(doc().undoStack().size(), steps);
    EXPECT_NEAR(panel->sliderValue(padding), doc().background().padding, 0.5);
}

// --- bottom bar ----------------------------------------------------------------------------

TEST_F(Editor, TheSizeLabelShowsTheOutputSize)
{
    open();
    QLabel* label = editor->bottomBar()->sizeLabel();
    EXPECT_EQ(label->text(), QStringLiteral("400 × 300 px"));
    BackgroundSettings background = doc().background();
    background.enabled = true;
    doc().setBackground(background);
    EXPECT_EQ(label->text(), QStringLiteral("528 × 428 px"));
    doc().setCrop(QRectF(10, 20, 100, 50));
    EXPECT_EQ(label->text(), QStringLiteral("228 × 178 px"));
    background.enabled = false;
    doc().setBackground(background);
    EXPECT_EQ(label->text(), QStringLiteral("100 × 50 px"));
}

TEST_F(Editor, ButtonsHandTheRenderedImageOnWithoutLosingATextBeingTyped)
{
    open();
    doc().setTool(Tool::text);
    QTest::mouseClick(canvas(), Qt::LeftButton, {}, view({50, 150}));
    QTest::keyClicks(canvas()->textField(), QStringLiteral("typed"));
    QTest::mouseClick(editor->bottomBar()->copyButton(), Qt::LeftButton);
    EXPECT_FALSE(canvas()->textField());
    ASSERT_EQ(doc().annotations().size(), 1u);
    EXPECT_EQ(doc().annotations().front().text, QStringLiteral("typed"));
    ASSERT_TRUE(clipboard.current && clipboard.current->image);
    EXPECT_EQ(*clipboard.current->image, doc().render());
    EXPECT_EQ(*item->image, doc().render());

    QTest::mouseClick(editor->bottomBar()->saveButton(), Qt::LeftButton);
    EXPECT_TRUE(item->savedURL);
    QTest::mouseClick(editor->bottomBar()->saveAsButton(), Qt::LeftButton);
    EXPECT_EQ(saveDialog.requests.size(), 1u);
}

TEST_F(Editor, PinAndTextUseTheRenderedImageAndLeaveTheItemAlone)
{
    open(plainImage(400, 300), 2.0);
    drawRectangle({100, 100}, {200, 200});
    const qint64 original = item->image->cacheKey();
    QTest::mouseClick(editor->bottomBar()->pinButton(), Qt::LeftButton);
    ASSERT_EQ(surfaces.pins.size(), 1u);
    EXPECT_EQ(surfaces.pins[0].first, doc().render());
    EXPECT_EQ(surfaces.pins[0].second, 2.0);
    QTest::mouseClick(editor->bottomBar()->textButton(), Qt::LeftButton);
    ASSERT_EQ(surfaces.recognized.size(), 1u);
    EXPECT_EQ(surfaces.recognized[0].first, doc().render());
    EXPECT_EQ(surfaces.recognized[0].second, 2.0); // small text on a HiDPI capture is not small
    EXPECT_EQ(item->image->cacheKey(), original);
    EXPECT_TRUE(doc().dirty());
}

TEST_F(Editor, ShareOffersOpenWithRevealAndCopyPathForTheCommittedFile)
{
    open();
    drawRectangle({100, 100}, {200, 200});
    const std::optional<QUrl> file = editor->committedFile();
    ASSERT_TRUE(file);
    EXPECT_FALSE(doc().dirty());
    EXPECT_EQ(QImageReader(file->toLocalFile()).read().pixelColor(150, 150), systemRed());

    std::unique_ptr<QMenu> menu(EditorBottomBar::shareMenu(*file, nullptr));
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"Open With…", "Show in File Manager", "Copy File Path"}));
    for (QAction* action : menu->actions())
        action->trigger();
    EXPECT_EQ(workspace.openedWith, std::vector<QUrl>({*file}));
    EXPECT_EQ(workspace.revealed, std::vector<QUrl>({*file}));
    ASSERT_TRUE(clipboard.current);
    EXPECT_EQ(clipboard.current->text, file->toLocalFile());
}

TEST(EditorDrag, CarriesTheFileAndItsPicture140PointsWide)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shot.png"));
    ASSERT_TRUE(plainImage(400, 200, Qt::blue).save(path));
    const std::optional<DragPayload> payload = dragPayload(QUrl::fromLocalFile(path), 2.0);
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->mimeData->urls(), QList<QUrl>({QUrl::fromLocalFile(path)}));
    EXPECT_EQ(payload->pixmap.deviceIndependentSize(), QSizeF(140, 70));
    EXPECT_EQ(payload->pixmap.size(), QSize(280, 140));
    EXPECT_EQ(payload->hotSpot, QPoint(70, 35));
    EXPECT_EQ(payload->pixmap.toImage().pixelColor(140, 70), QColor(Qt::blue));

    // Not a picture: an empty square image, still dragged.
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("hello");
    file.close();
    const std::optional<DragPayload> other = dragPayload(QUrl::fromLocalFile(text), 1.0);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->pixmap.size(), QSize(140, 140));
    EXPECT_EQ(other->pixmap.toImage().pixelColor(70, 70).alpha(), 0);
    EXPECT_FALSE(dragPayload(std::nullopt, 1.0));
}
