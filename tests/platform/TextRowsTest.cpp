// SPDX-License-Identifier: GPL-3.0-or-later
// Words into screen lines, and the small mends of screen text, with made-up word boxes.
#include "TextRows.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace vantrel;

namespace {

RecognizedWord word(const char* text, int left, int top, int width, int height = 11)
{
    return {QString::fromUtf8(text), QRect(left, top, width, height)};
}

} // namespace

TEST(TextRows, KeepsTheCellsOfARowTogetherWhateverOrderTheyComeIn)
{
    // A menu, a table and a settings row: an engine reads such screens column by column.
    std::vector<RecognizedWord> words {
        word("Copy", 30, 10, 40),
        word("Ctrl+C", 220, 11, 50),
        word("Paste", 30, 34, 44),
        word("Ctrl+V", 220, 33, 50),
        word("notes.txt", 10, 60, 70),
        word("4.2", 150, 60, 22),
        word("kB", 176, 60, 18),
        word("Text", 300, 61, 30),
        word("Screen", 10, 86, 50, 14),
        word("lock", 64, 86, 30, 14),
        word("After", 250, 87, 40, 12),
        word("5", 294, 87, 8, 12),
        word("minutes", 306, 88, 60, 10),
    };
    const QStringList expected {QStringLiteral("Copy Ctrl+C"), QStringLiteral("Paste Ctrl+V"),
        QStringLiteral("notes.txt 4.2 kB Text"), QStringLiteral("Screen lock After 5 minutes")};
    std::mt19937 shuffle(7);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(words.begin(), words.end(), shuffle);
        EXPECT_EQ(assembleTextRows(words), expected) << "round " << round;
    }
}

TEST(TextRows, AHeadingBesideTwoLinesDoesNotJoinThem)
{
    // A 40 px high title to the left of two 11 px lines: each line stays a row of its own.
    const QStringList lines = assembleTextRows({word("Title", 10, 0, 120, 40), word("first", 200, 4, 40),
        word("line", 244, 4, 30), word("second", 200, 24, 50), word("line", 254, 24, 30)});
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("first line")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("second line")));
}

TEST(TextRows, LeavesOutMenuSymbolsAndSpecksButNotShortWords)
{
    struct Case
    {
        const char* name;
        std::vector<RecognizedWord> words;
        QString expected;
    };
    const Case cases[] = {
        // A square symbol before a menu item, a gap wider than a space after it.
        {"symbol read as a letter", {word("O", 8, 10, 13, 13), word("Quit", 36, 11, 30), word("Ctrl+Q", 200, 11, 50)},
            QStringLiteral("Quit Ctrl+Q")},
        {"symbol read as two letters", {word("oO", 8, 10, 13, 13), word("Bookmarks", 36, 11, 70)},
            QStringLiteral("Bookmarks")},
        {"symbol taller than the text", {word("©", 4, 6, 18, 18), word("Paste", 30, 10, 40)}, QStringLiteral("Paste")},
        {"button corners and table rules",
            {word(".", 2, 12, 3, 3), word("Sign", 10, 10, 30), word("In", 44, 10, 14), word("|", 70, 8, 2, 16),
                word("Share", 90, 10, 40)},
            QStringLiteral("Sign In Share")},
        // Narrow digits, short words at normal spacing and lone words stay.
        {"row number", {word("1", 10, 10, 6), word("Apples", 60, 10, 50)}, QStringLiteral("1 Apples")},
        {"two-digit count", {word("12", 10, 10, 13), word("items", 40, 10, 40)}, QStringLiteral("12 items")},
        {"short word", {word("OK", 10, 10, 11), word("then", 24, 10, 30)}, QStringLiteral("OK then")},
        {"lone letter", {word("O", 10, 10, 11, 11)}, QStringLiteral("O")},
        {"ellipsis", {word("Loading", 10, 10, 50), word("...", 62, 10, 12)}, QStringLiteral("Loading ...")},
        {"lone symbols of text", {word("Tom", 10, 10, 30), word("&", 44, 10, 8), word("Jerry", 56, 10, 40)},
            QStringLiteral("Tom & Jerry")},
    };
    for (const Case& c : cases) {
        const QStringList lines = assembleTextRows(c.words);
        EXPECT_EQ(lines.join(QLatin1Char('\n')), c.expected) << c.name;
    }
}

namespace {

// A word the engine is unsure of: `confidence` 0–100.
RecognizedWord doubted(const char* text, int left, int top, int width, float confidence, int height = 11)
{
    RecognizedWord read = word(text, left, top, width, height);
    read.confidence = confidence;
    return read;
}

} // namespace

TEST(TextRows, LeavesOutTheControlsOfAFormAndTheFrameEdgesGluedToWords)
{
    struct Case
    {
        const char* name;
        std::vector<RecognizedWord> words;
        QString expected;
    };
    const Case cases[] = {
        {"check box", {word("|_|", 10, 10, 14, 13), word("Remember", 30, 10, 60), word("password", 94, 10, 50)},
            QStringLiteral("Remember password")},
        {"radio button", {word("(®)", 10, 10, 14, 14), word("Compact", 30, 10, 50)}, QStringLiteral("Compact")},
        {"tree arrow", {doubted("»", 7, 12, 8, 0.0f, 4), word("Storage", 24, 10, 50)}, QStringLiteral("Storage")},
        {"combo box arrow",
            {word("Theme:", 10, 10, 40), word("Follow", 80, 10, 36), word("system", 120, 10, 38),
                doubted("vv", 190, 13, 7, 22.6f, 4)},
            QStringLiteral("Theme: Follow system")},
        {"spin box arrows", {word("Port:", 10, 10, 24), word("993", 100, 10, 20), word("|>|", 260, 8, 12, 16)},
            QStringLiteral("Port: 993")},
        {"frame edge glued to a word", {word("|Network", 24, 10, 52, 13), word("Gateway|", 100, 10, 52, 13)},
            QStringLiteral("Network Gateway")},
        {"button edge glued to a word", {word(")Restore", 10, 10, 48), word("Defaults", 62, 10, 50)},
            QStringLiteral("Restore Defaults")},
        // What the engine is sure of stays, short or not.
        {"sure short words", {doubted("OK", 10, 10, 14, 96.0f), doubted("Go", 30, 10, 14, 92.0f)},
            QStringLiteral("OK Go")},
        // Doubted, yet right: a table cell beside a rule, a unit at the end of a row.
        {"doubted cells",
            {doubted("4.2", 187, 84, 17, 0.0f), doubted("kB", 208, 84, 14, 0.0f), word("12", 300, 84, 14),
                word("Mar", 318, 84, 24), word("3.1", 396, 84, 18), doubted("MB", 418, 84, 16, 8.0f)},
            QStringLiteral("4.2 kB 12 Mar 3.1 MB")},
        {"a bracket that is text", {word("(IMAP)", 10, 10, 36, 12), word("[beta]", 50, 10, 36, 12)},
            QStringLiteral("(IMAP) [beta]")},
        // A shortcut split in two, and a word that only looks like a modifier.
        {"split shortcut", {word("Redo", 30, 10, 30), word("Ctr", 216, 10, 20), word("Shift+Z", 248, 10, 40)},
            QStringLiteral("Redo Ctrl+Shift+Z")},
        {"word before a shortcut", {word("Select", 30, 10, 40), word("All", 74, 10, 18), word("Ctrl+A", 216, 10, 40)},
            QStringLiteral("Select All Ctrl+A")},
    };
    for (const Case& c : cases) {
        const QStringList lines = assembleTextRows(c.words);
        EXPECT_EQ(lines.join(QLatin1Char('\n')), c.expected) << c.name;
    }
}

TEST(TextRows, MendsMisreadShortcutsOnly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Ctri+S", "Ctrl+S"},
        {"Cth+T", "Ctrl+T"},
        {"Ctni+C", "Ctrl+C"},
        {"Ctril+P", "Ctrl+P"},
        {"ctrl+c", "Ctrl+C"},
        {"Shitt+Ctrl+Z", "Shift+Ctrl+Z"},
        {"Alt+F4", "Alt+F4"},
        {"Ctrl+Fll", "Ctrl+F11"},
        {"Fll", "F11"},
        {"F1l", "F11"},
        {"FS", "F5"},
        {"Fl2", "F12"},
        {"F5", "F5"},
        {"Ctrl++", "Ctrl++"},
        {"Ctrl+-", "Ctrl+-"},
        // "Ctrl+" blurred into the key.
        {"Ctr#Z", "Ctrl+Z"},
        {"CtritV", "Ctrl+V"},
        {"Ctrev", "Ctrl+V"},
        {"Ctr,", "Ctrl+,"},
        {"CtrlA", "Ctrl+A"},
        {"Alt#F4", "Alt+F4"},
        // Not shortcuts: left as read.
        {"C++", "C++"},
        {"1+1", "1+1"},
        {"Copy", "Copy"},
        {"Fine", "Fine"},
        {"F0", "F0"},
        {"Clock+1", "Clock+1"},
        {"+", "+"},
        {"Ctrl", "Ctrl"},
        {"Ctr", "Ctr"},
        {"Sharp#1", "Sharp#1"},
        {"C#", "C#"},
        {"Catch", "Catch"},
    };
    for (const auto& [read, mended] : cases)
        EXPECT_EQ(mendShortcut(QString::fromLatin1(read)), QString::fromLatin1(mended)) << read;
}

TEST(TextRows, NothingReadGivesNoLines)
{
    EXPECT_TRUE(assembleTextRows({}).isEmpty());
    EXPECT_TRUE(assembleTextRows({word("  ", 0, 0, 10), word("x", 0, 0, 0, 0)}).isEmpty());
}
