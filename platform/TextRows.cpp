// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextRows.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>

namespace vantrel {

namespace {

struct Row
{
    double top;
    double bottom;
    int members = 0; // words of ordinary height that shaped top and bottom
    std::vector<RecognizedWord> words;
    double height() const { return bottom - top; }
};

double verticalOverlap(double top, double bottom, const QRect& box)
{
    return std::min(bottom, double(box.bottom() + 1)) - std::max(top, double(box.top()));
}

// Bits of drawing read as text: the corners of a button or the rule of a table read as ".",
// "|" or "'". Real text is never only one or two of these.
bool isSpeck(const QString& text)
{
    static const QRegularExpression specks(QStringLiteral("^[.,'`|:;_~]{1,2}$"));
    return specks.match(text).hasMatch();
}

// The controls of a form read as symbols: a check box as "|_|", a radio button as "(®)", the
// arrow of a spin box or a tree as "+" or "»", a slider's handle as "©". A lone symbol worth
// keeping ("&", "-", "%", "…") is no frame or glyph, and the engine is sure of it.
bool isControlDrawing(const RecognizedWord& word)
{
    for (const QChar c : word.text) {
        if (c.isLetterOrNumber())
            return false;
    }
    static const QRegularExpression drawing(QStringLiteral("[|\\[\\]{}()<>_®©@¥™»«+~^]"));
    return word.confidence < 60.0f || drawing.match(word.text).hasMatch();
}

// The arrow of a combo box or a tree at either end of a row, read as one or two letters the
// engine doubts ("vv", "EB", "~y"), set apart from the row's words. Doubt alone is no reason:
// the engine can doubt a right reading ("kB" beside a table rule).
bool isDoubtfulEdge(const RecognizedWord& word, double rowHeight, int gap)
{
    if (word.text.size() > 2 || word.confidence >= 30.0f)
        return false;
    for (const QChar c : word.text) {
        if (c.isDigit())
            return false;
    }
    return gap >= 1.5 * rowHeight;
}

// A frame edge that survived glued to the word beside it: "|Network", "Schmidt|", ")Restore".
QString withoutFrameEdges(QString text)
{
    while (text.size() > 1 && text.front() == QLatin1Char('|'))
        text.remove(0, 1);
    while (text.size() > 1 && text.back() == QLatin1Char('|'))
        text.chop(1);
    // A word never opens with a closing bracket: the right edge of the control before it.
    if (text.size() > 1 && QStringLiteral(")]}").contains(text.front()) && text[1].isLetterOrNumber())
        text.remove(0, 1);
    return text;
}

// A symbol that a menu or toolbar draws before its text, read as "©", "O", "oO" or "(1)": at
// most two letters, or brackets around one, in a square box that is taller than the row's
// words, or that leads its row with a gap wider than a space after it.
bool isSymbolLike(const RecognizedWord& word, double rowHeight, std::optional<int> gapAfter)
{
    int letters = 0, digits = 0;
    for (const QChar c : word.text) {
        if (c.isDigit())
            ++digits;
        if (c.isLetterOrNumber())
            ++letters;
        else if (!QStringLiteral("()[]{}©®@&*#°•").contains(c))
            return false;
    }
    if (letters > 2 || word.text.size() > 3 || (digits > 1 && digits == letters))
        return false;
    const double height = word.box.height();
    const double aspect = double(word.box.width()) / std::max(1.0, height);
    if (height >= 1.25 * rowHeight && aspect >= 0.5 && aspect <= 2.0)
        return letters <= 1;
    return gapAfter && *gapAfter >= 0.8 * height && height >= 0.9 * rowHeight && aspect >= 0.75 && aspect <= 1.35;
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

// The modifier a misread key name stands for, or none.
QString modifierFor(const QString& part)
{
    static const QStringList modifiers {QStringLiteral("Ctrl"), QStringLiteral("Shift"), QStringLiteral("Alt"),
        QStringLiteral("Super"), QStringLiteral("Meta")};
    for (const QString& modifier : modifiers) {
        if (part.compare(modifier, Qt::CaseInsensitive) == 0)
            return modifier;
    }
    for (const QString& modifier : modifiers) {
        // The first letter is read right even when the rest blurs; short names allow one slip.
        if (part.isEmpty() || part[0].toLower() != modifier[0].toLower())
            continue;
        if (editDistance(part.toLower(), modifier.toLower()) <= (modifier.size() <= 3 ? 1 : 2))
            return modifier;
    }
    return {};
}

QString mendFunctionKey(const QString& word)
{
    // F1 … F24 with the ones read as l, I, i, | or !, a five read as S.
    static const QRegularExpression functionKey(QStringLiteral("^F([0-9lIi|!S]{1,2})$"));
    const QRegularExpressionMatch match = functionKey.match(word);
    if (!match.hasMatch())
        return word;
    QString digits = match.captured(1);
    for (QChar& c : digits) {
        if (c == QLatin1Char('S'))
            c = QLatin1Char('5');
        else if (!c.isDigit())
            c = QLatin1Char('1');
    }
    const int number = digits.toInt();
    return number >= 1 && number <= 24 && digits[0] != QLatin1Char('0') ? QStringLiteral("F") + digits : word;
}

} // namespace

QString mendShortcut(const QString& read)
{
    QString word = read;
    // "Ctrl+" blurs into "Ctr#", "Ctrit" or "Ctre" before the key: "Ctr#Z", "CtritV", "Ctrev",
    // "Ctr,". No word of any language starts "Ctr", so the key is the last character.
    static const QRegularExpression blurredControl(QStringLiteral("^Ctr(?!l$)[^+\\s]{0,2}(\\S)$"));
    if (const QRegularExpressionMatch match = blurredControl.match(word); match.hasMatch())
        word = QStringLiteral("Ctrl+") + match.captured(1);
    // Between a modifier and its key, "#" is a misread "+".
    static const QRegularExpression hashForPlus(QStringLiteral("^([A-Za-z]{2,6})#(\\S{1,3})$"));
    if (const QRegularExpressionMatch match = hashForPlus.match(word);
        match.hasMatch() && !modifierFor(match.captured(1)).isEmpty())
        word = match.captured(1) + QLatin1Char('+') + match.captured(2);
    if (!word.contains(QLatin1Char('+')))
        return mendFunctionKey(word);
    QStringList parts = word.split(QLatin1Char('+'));
    // "Ctrl++" and a lone "+" keep their empty parts; only names before a "+" are modifiers.
    for (int i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].isEmpty())
            continue;
        const QString modifier = modifierFor(parts[i]);
        if (modifier.isEmpty())
            return word; // not a shortcut: "C++", "1+1"
        parts[i] = modifier;
    }
    QString& key = parts.last();
    key = mendFunctionKey(key);
    // Shortcut keys are written in capitals: "Ctrl+c" is a misread "Ctrl+C".
    if (key.size() == 1 && key[0].isLower())
        key = key.toUpper();
    return parts.join(QLatin1Char('+'));
}

QStringList assembleTextRows(std::vector<RecognizedWord> words)
{
    for (RecognizedWord& word : words)
        word.text = word.text.trimmed();
    std::erase_if(words, [](const RecognizedWord& word) {
        return word.text.isEmpty() || word.box.isEmpty() || isSpeck(word.text) || isControlDrawing(word);
    });
    for (RecognizedWord& word : words)
        word.text = withoutFrameEdges(word.text);
    std::sort(words.begin(), words.end(),
        [](const RecognizedWord& a, const RecognizedWord& b) { return a.box.center().y() < b.box.center().y(); });

    std::vector<Row> rows;
    for (RecognizedWord& word : words) {
        const double height = word.box.height();
        Row* best = nullptr;
        double bestShare = 0.5; // of the lower of the two, at least half
        for (Row& row : rows) {
            const double share = verticalOverlap(row.top, row.bottom, word.box) / std::min(row.height(), height);
            if (share >= bestShare) {
                bestShare = share;
                best = &row;
            }
        }
        if (!best) {
            rows.push_back({double(word.box.top()), double(word.box.bottom() + 1), 1, {}});
            rows.back().words.push_back(std::move(word));
            continue;
        }
        // Only words of about the row's height move it, so that a tall symbol or a heading
        // beside two lines does not pull them into one row.
        if (height <= 1.6 * best->height() && height >= best->height() / 1.6) {
            const double n = best->members;
            best->top = (best->top * n + word.box.top()) / (n + 1);
            best->bottom = (best->bottom * n + word.box.bottom() + 1) / (n + 1);
            ++best->members;
        }
        best->words.push_back(std::move(word));
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.top + a.bottom < b.top + b.bottom; });

    QStringList lines;
    for (Row& row : rows) {
        std::sort(row.words.begin(), row.words.end(),
            [](const RecognizedWord& a, const RecognizedWord& b) { return a.box.left() < b.box.left(); });
        QStringList texts;
        for (size_t i = 0; i < row.words.size(); ++i) {
            const RecognizedWord& word = row.words[i];
            if (row.words.size() > 1) {
                // The typical height of the row's other words decides what is taller.
                std::vector<int> others;
                for (const RecognizedWord& other : row.words) {
                    if (&other != &word)
                        others.push_back(other.box.height());
                }
                std::nth_element(others.begin(), others.begin() + others.size() / 2, others.end());
                std::optional<int> gapAfter;
                if (i == 0)
                    gapAfter = row.words[1].box.left() - word.box.right() - 1;
                if (isSymbolLike(word, others[others.size() / 2], gapAfter))
                    continue;
                const size_t last = row.words.size() - 1;
                const int gap = i == 0 ? row.words[1].box.left() - word.box.right() - 1
                    : i == last        ? word.box.left() - row.words[i - 1].box.right() - 1
                                       : -1;
                if (gap >= 0 && isDoubtfulEdge(word, others[others.size() / 2], gap))
                    continue;
            }
            const QString mended = mendShortcut(word.text);
            // A shortcut read as two words, "Ctr" and "Shift+Z": one again. Only a modifier's
            // own name or a blurred "Ctrl" before it, since "All", "Alto" or "Metal" are words.
            const QString& before = texts.isEmpty() ? QString() : texts.last();
            const QString modifier = modifierFor(before);
            if (!modifier.isEmpty() && mended.contains(QLatin1Char('+')) && !before.contains(QLatin1Char('+'))
                && (before.compare(modifier, Qt::CaseInsensitive) == 0 || before.startsWith(QStringLiteral("Ctr")))) {
                const QString joined = mendShortcut(before + QLatin1Char('+') + mended);
                if (joined.startsWith(modifier + QLatin1Char('+'))) {
                    texts.last() = joined;
                    continue;
                }
            }
            texts << mended;
        }
        if (!texts.isEmpty())
            lines << texts.join(QLatin1Char(' '));
    }
    return lines;
}

} // namespace vantrel
