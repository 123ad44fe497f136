// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace vantrel {

namespace {

// Quoting of the Exec key: arguments with reserved characters are double-quoted, and inside
// quotes the characters " ` $ \ are escaped with a backslash.
QString quotedExec(const QString& program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (QChar c : program)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString escaped = program;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!needsQuotes)
        return escaped;
    QString out;
    for (QChar c : escaped) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(QString desktopFilePath, QString executable)
    : m_path(std::move(desktopFilePath))
    , m_executable(std::move(executable))
{ }

bool XdgAutostartLoginItem::isEnabled() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // A desktop may switch an entry off without deleting it.
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.compare(QLatin1String("Hidden=true"), Qt::CaseInsensitive) == 0
            || line.compare(QLatin1String("X-GNOME-Autostart-enabled=false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

std::optional<QString> XdgAutostartLoginItem::setEnabled(bool enabled)
{
    if (!enabled) {
        if (!QFile::exists(m_path) || QFile::remove(m_path))
            return std::nullopt;
        return QStringLiteral("could not remove %1").arg(m_path);
    }
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return QStringLiteral("could not create %1").arg(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    QTextStream out(&file);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=Vantrel\n"
        << "Comment=Screenshots, annotation and screen recording\n"
        << "Exec=" << quotedExec(m_executable) << "\n"
        << "Icon=vantrel\n"
        << "Terminal=false\n"
        << "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace vantrel
