// SPDX-License-Identifier: GPL-3.0-or-later
// Vantrel in a pseudo-language (data/translations/vantrel.ts compiled with every text marked by a
// leading "["): a text a window shows without the mark does not go through the translator, or
// is missing from the template. Run offscreen.
#include "AppDelegate.h"
#include "CaptureItem.h"
#include "EditorToolbar.h"
#include "EditorWindowController.h"
#include "FirstRunWindow.h"
#include "SettingsWindow.h"
#include "Translations.h"
#include "WindowTestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

const QLocale pseudoLocale(QLocale::Esperanto);

// What the user reads of a button, menu item, group or tab title: mnemonic markers gone ("&&" is
// a literal ampersand), and for a menu item the title without the shortcut after the tab.
QString withoutMnemonic(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text.section(QLatin1Char('\t'), 0, 0).trimmed();
}

// A text that needs translating has a letter; digits, "%" and "×" read the same everywhere. A
// colour's "#rrggbb", a path, a file format ("PNG") and a shortcut ("Shift+Super+S" in every
// language) are not words.
bool needsTranslation(const QString& text)
{
    static const QRegularExpression notWords(
        QStringLiteral("^(#[0-9a-f]{6}|/.*|[A-Z]{3,4}|((Ctrl|Alt|Shift|Super)\\+)+[^+ ]+)$"));
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); })
        && !notWords.match(text).hasMatch();
}

struct Shown
{
    QString where;
    QString text;
    bool mnemonic = false; // a title that may carry "&" markers
};

void collectActions(const QString& where, const QList<QAction*>& actions, QList<Shown>& out)
{
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        out.append({where + QStringLiteral(" item"), action->text(), true});
        if (action->toolTip() != action->text() && !action->toolTip().isEmpty())
            out.append({where + QStringLiteral(" item tip"), action->toolTip()});
        if (QMenu* sub = action->menu())
            collectActions(where + QStringLiteral(" > ") + withoutMnemonic(action->text()), sub->actions(), out);
    }
}

// Every text a widget tree shows or speaks: titles, labels, button texts, tool tips, list entries,
// placeholders, tab titles, accessible names and the items of attached menus.
QList<Shown> shownTexts(QWidget* root)
{
    QList<Shown> out;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        // Qt names its own tab scroll buttons, in its own translations.
        if (w->objectName() == QLatin1String("ScrollLeftButton")
            || w->objectName() == QLatin1String("ScrollRightButton"))
            continue;
        const QString where = QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
        if (w->isWindow())
            out.append({where + QStringLiteral(" title"), w->windowTitle()});
        out.append({where + QStringLiteral(" tip"), w->toolTip()});
        out.append({where + QStringLiteral(" accessible name"), w->accessibleName()});
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().contains(QLatin1Char('<')))
            out.append({where, label->text()});
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            out.append({where, button->text(), true});
        if (auto* box = qobject_cast<QGroupBox*>(w))
            out.append({where, box->title(), true});
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            out.append({where + QStringLiteral(" placeholder"), edit->placeholderText()});
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                out.append({where + QStringLiteral(" entry"), combo->itemText(i)});
        }
        if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                out.append({where + QStringLiteral(" tab"), tabs->tabText(i), true});
        }
        if (auto* menu = qobject_cast<QMenu*>(w))
            collectActions(where, menu->actions(), out);
        else
            collectActions(where, w->actions(), out);
    }
    return out;
}

// Each shown text that needs translating and lacks the pseudo-language's mark, with its place.
QStringList unmarked(QWidget* root)
{
    QStringList found;
    for (const Shown& shown : shownTexts(root)) {
        const QString text = shown.mnemonic ? withoutMnemonic(shown.text) : shown.text.trimmed();
        if (needsTranslation(text) && !text.startsWith(QLatin1Char('[')))
            found.append(shown.where + QStringLiteral(": \"") + text + QLatin1Char('"'));
    }
    found.removeDuplicates();
    return found;
}

void removeTranslators()
{
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

class PseudoTranslated : public ::testing::Test, public test::WindowFakes
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(installTranslations(QStringLiteral(VANTREL_PSEUDO_TRANSLATIONS), pseudoLocale))
            << "no vantrel_eo.qm in " VANTREL_PSEUDO_TRANSLATIONS;
    }
    void TearDown() override
    {
        for (EditorWindowController* open : EditorWindowController::openEditors())
            open->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        removeTranslators();
    }
};

} // namespace

TEST(Translations, MissingLanguageLeavesEveryTextEnglish)
{
    EXPECT_FALSE(installTranslations(QStringLiteral(VANTREL_PSEUDO_TRANSLATIONS), QLocale(QLocale::German)));
    EXPECT_FALSE(installTranslations(QDir::temp().filePath(QStringLiteral("no-such-folder")), pseudoLocale));
    EXPECT_EQ(QCoreApplication::translate("vantrel::AppDelegate", "Quit Vantrel"), QStringLiteral("Quit Vantrel"));
    removeTranslators();
}

TEST_F(PseudoTranslated, TrayMenuShowsOnlyTranslatedTextsAndLinuxShortcuts)
{
    settings.setHotKeys({{QStringLiteral("captureArea"), KeyCombo {1, 768}}});
    AppDelegate delegate;
    delegate.rebuildMenu();
    EXPECT_EQ(unmarked(delegate.menu()), QStringList());

    // The shortcut after the tab keeps the names every Linux desktop uses.
    QStringList shortcuts;
    for (QAction* action : delegate.menu()->actions()) {
        if (action->text().contains(QLatin1Char('\t')))
            shortcuts.append(action->text().section(QLatin1Char('\t'), 1));
    }
    EXPECT_EQ(shortcuts, QStringList {QStringLiteral("Shift+Super+S")});
}

TEST_F(PseudoTranslated, SettingsWindowShowsOnlyTranslatedTexts)
{
    SettingsWindow window(settings);
    window.show();
    for (int tab = 0; tab < window.tabs()->count(); ++tab)
        window.tabs()->setCurrentIndex(tab);
    EXPECT_EQ(unmarked(&window), QStringList());
}

TEST_F(PseudoTranslated, FirstRunWindowShowsOnlyTranslatedTextsWhetherOrNotTheScreenMayBeRead)
{
    for (bool granted : {false, true}) {
        access.granted = granted;
        FirstRunWindow window;
        window.show();
        EXPECT_EQ(unmarked(&window), QStringList()) << (granted ? "granted" : "not granted");
    }
}

TEST_F(PseudoTranslated, EditorWindowShowsOnlyTranslatedTexts)
{
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    EditorWindowController* editor
        = EditorWindowController::open(CaptureItem::fromImage(std::move(image), 1.0, CaptureKind::screenshot));
    ASSERT_TRUE(editor);
    EXPECT_EQ(unmarked(editor->window()), QStringList());
    // The toolbar's tips name each tool in the language and its key as it is pressed.
    int tools = 0;
    const QRegularExpression toolTip(QStringLiteral("^\\[.+ \\((((Ctrl|Shift)\\+)*[A-Z0-9])\\)$"));
    for (QAbstractButton* button : editor->toolbar()->findChildren<QAbstractButton*>()) {
        if (button->toolTip().endsWith(QLatin1Char(')'))) {
            ++tools;
            EXPECT_TRUE(toolTip.match(button->toolTip()).hasMatch()) << button->toolTip().toStdString();
        }
    }
    EXPECT_GT(tools, 5);
}

// The command: `vantrel` finds the translation of the user's language beside itself, in
// ../share/vantrel/translations, and speaks English when there is none.
TEST(LauncherTranslations, HelpAndMistakesFollowTheUsersLanguage)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QDir root(prefix.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")) && root.mkpath(QStringLiteral("share/vantrel/translations")));
    const QString launcher = root.filePath(QStringLiteral("bin/vantrel"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VANTREL_LAUNCHER_BINARY), launcher));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VANTREL_PSEUDO_TRANSLATIONS "/vantrel_eo.qm"),
        root.filePath(QStringLiteral("share/vantrel/translations/vantrel_eo.qm"))));

    struct Run
    {
        int status;
        QString out;
        QString err;
    };
    auto run = [&](const QString& language, const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("LC_ALL"));
        environment.remove(QStringLiteral("LC_MESSAGES"));
        environment.insert(QStringLiteral("LANG"), language + QStringLiteral(".UTF-8"));
        environment.insert(QStringLiteral("LANGUAGE"), language);
        process.setProcessEnvironment(environment);
        process.start(launcher, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return Run {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
    };

    const Run help = run(QStringLiteral("eo"), {QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("[Usage: vantrel"))) << help.out.toStdString();
    // Action names are what the command takes: never translated. Their titles are.
    EXPECT_TRUE(help.out.contains(QStringLiteral("[The actions are:"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QRegularExpression(QStringLiteral("\n  captureArea +\\[Capture Area\n"))))
        << help.out.toStdString();

    const Run unknown = run(QStringLiteral("eo"), {QStringLiteral("--action"), QStringLiteral("nothing")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("[unknown action \"nothing\""))) << unknown.err.toStdString();
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("\n  captureArea "))) << unknown.err.toStdString();

    // German is not there: English, unmarked.
    const Run english = run(QStringLiteral("de_DE"), {QStringLiteral("--help")});
    EXPECT_EQ(english.status, 0);
    EXPECT_TRUE(english.out.startsWith(QStringLiteral("Usage: vantrel [options]"))) << english.out.toStdString();
    EXPECT_FALSE(english.out.contains(QLatin1Char('[') + QStringLiteral("Capture")));
}
