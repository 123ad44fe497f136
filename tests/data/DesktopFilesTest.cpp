// SPDX-License-Identifier: GPL-3.0-or-later
// The files that make Vantrel a desktop application: the desktop entry and the metainfo pass
// their validators, name what Vantrel really does (action names, image types it reads), the
// icon is drawn at every size, and shell completion offers the real options and actions.
#include "QtPrinters.h"
#include "SettingsTypes.h"
#include "SingleInstance.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>

using namespace vantrel;

namespace {

const QString dataDir = QStringLiteral(VANTREL_SOURCE_DIR "/data");

struct Outcome
{
    int exitCode = -1;
    QString output; // standard output and error together
};

Outcome run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QStringLiteral("%1 did not finish").arg(program)};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

// Group name → key → value, the way freedesktop.org desktop entry files are read.
using DesktopEntry = std::map<QString, std::map<QString, QString>>;

DesktopEntry readDesktopEntry(const QString& path)
{
    DesktopEntry entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    QString group;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
        } else if (const qsizetype equals = line.indexOf(QLatin1Char('=')); equals > 0 && !line.startsWith('#')) {
            entry[group][line.left(equals)] = line.mid(equals + 1);
        }
    }
    return entry;
}

QStringList list(const QString& value)
{
    return value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

} // namespace

TEST(DesktopFiles, EntryAndMetainfoPassTheirValidators)
{
    const QString desktopValidator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    const QString appstream = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (desktopValidator.isEmpty() || appstream.isEmpty())
        GTEST_SKIP() << "desktop-file-validate or appstreamcli is not installed (scripts/setup.sh installs both)";

    const Outcome entry = run(desktopValidator, {dataDir + QStringLiteral("/vantrel.desktop")});
    EXPECT_EQ(entry.exitCode, 0) << entry.output.toStdString();
    // Hints too: each one is something a desktop may show wrongly (a menu entry twice).
    EXPECT_TRUE(entry.output.trimmed().isEmpty()) << entry.output.toStdString();

    // --no-net: the check never depends on the network.
    const Outcome metainfo = run(appstream,
        {QStringLiteral("validate"), QStringLiteral("--no-net"),
            dataDir + QStringLiteral("/org.vantrel.Vantrel.metainfo.xml")});
    EXPECT_EQ(metainfo.exitCode, 0) << metainfo.output.toStdString();
}

TEST(DesktopFiles, EntryOpensTheImagesVantrelReadsAndRunsRealActions)
{
    DesktopEntry entry = readDesktopEntry(dataDir + QStringLiteral("/vantrel.desktop"));
    auto& main = entry[QStringLiteral("Desktop Entry")];
    EXPECT_EQ(main[QStringLiteral("Exec")], QStringLiteral("vantrel %F"));
    EXPECT_EQ(main[QStringLiteral("Icon")], QStringLiteral("vantrel"));
    EXPECT_EQ(main[QStringLiteral("GenericName")], QStringLiteral("Screenshot Tool"));

    // "Open With" offers Vantrel only for what it can open: each type has a reader at run time.
    const QStringList types = list(main[QStringLiteral("MimeType")]);
    EXPECT_EQ(types,
        (QStringList {QStringLiteral("image/png"), QStringLiteral("image/jpeg"), QStringLiteral("image/webp"),
            QStringLiteral("image/bmp"), QStringLiteral("image/gif")}));
    const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    for (const QString& type : types)
        EXPECT_TRUE(readable.contains(type.toLatin1())) << type.toStdString() << " has no image reader installed";

    // Each desktop action runs `vantrel --action` with a real action and carries its title.
    const QStringList actions = list(main[QStringLiteral("Actions")]);
    for (const char* required :
        {"captureArea", "captureFullscreen", "captureWindow", "captureText", "recordScreen", "openHistory"})
        EXPECT_TRUE(actions.contains(QString::fromLatin1(required))) << required;
    for (const QString& id : actions) {
        auto& group = entry[QStringLiteral("Desktop Action ") + id];
        const QString exec = group[QStringLiteral("Exec")];
        ASSERT_TRUE(exec.startsWith(QStringLiteral("vantrel --action "))) << exec.toStdString();
        const std::optional<HotKeyAction> action = hotKeyActionFromRaw(exec.mid(17));
        ASSERT_TRUE(action) << exec.toStdString();
        EXPECT_EQ(group[QStringLiteral("Name")], title(*action));
    }
}

TEST(DesktopFiles, MetainfoNamesTheEntryTheProgramAndItsBusName)
{
    QFile file(dataDir + QStringLiteral("/org.vantrel.Vantrel.metainfo.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::map<QString, QString> found;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        if (name == QStringLiteral("launchable") || name == QStringLiteral("binary") || name == QStringLiteral("dbus")
            || name == QStringLiteral("id") || name == QStringLiteral("project_license"))
            found[name] = xml.readElementText();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(found[QStringLiteral("launchable")], QStringLiteral("vantrel.desktop"));
    EXPECT_EQ(found[QStringLiteral("binary")], QStringLiteral("vantrel"));
    EXPECT_EQ(found[QStringLiteral("dbus")], QString::fromLatin1(SingleInstance::defaultServiceName));
    EXPECT_EQ(found[QStringLiteral("id")], QString::fromLatin1(SingleInstance::defaultServiceName));
    EXPECT_EQ(found[QStringLiteral("project_license")], QStringLiteral("GPL-3.0-or-later"));
}

TEST(DesktopFiles, IconIsDrawnAtEveryHicolorSize)
{
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QImage icon(QStringLiteral(VANTREL_ICON_DIR "/%1x%1/vantrel.png").arg(size));
        ASSERT_EQ(icon.size(), QSize(size, size)) << size;
        // The tile fills the middle; the rounded corners stay clear.
        EXPECT_EQ(icon.pixelColor(size / 2, size / 8).alpha(), 255) << size;
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0) << size;
    }
}

namespace {

// The words bash completion offers after `vantrel` followed by `words` (the last one is the
// word being completed).
QStringList bashCompletions(const QStringList& words)
{
    QStringList quoted;
    for (const QString& word : words)
        quoted.append(QLatin1Char('\'') + word + QLatin1Char('\''));
    const QString script = QStringLiteral("source '%1/completion/vantrel.bash'; COMP_WORDS=(vantrel %2); "
                                          "COMP_CWORD=%3; _vantrel; printf '%s\\n' \"${COMPREPLY[@]}\"")
                               .arg(dataDir, quoted.join(QLatin1Char(' ')))
                               .arg(words.size());
    const Outcome result = run(QStringLiteral("bash"), {QStringLiteral("-c"), script});
    EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
    QStringList words_ = result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    words_.sort();
    return words_;
}

QStringList actionNames(const QString& prefix = {}, const QString& startingWith = {})
{
    QStringList names;
    for (HotKeyAction action : allHotKeyActions) {
        if (rawValue(action).startsWith(startingWith))
            names.append(prefix + rawValue(action));
    }
    names.sort();
    return names;
}

} // namespace

TEST(ShellCompletion, BashOffersTheOptionsAndTheRealActionNames)
{
    EXPECT_EQ(bashCompletions({QStringLiteral("--action"), QString()}), actionNames());
    EXPECT_EQ(bashCompletions({QStringLiteral("--action"), QStringLiteral("captureW")}),
        actionNames({}, QStringLiteral("captureW")));
    EXPECT_EQ(bashCompletions({QStringLiteral("--action=cap")}),
        actionNames(QStringLiteral("--action="), QStringLiteral("cap")));
    // bash's own word splitting makes "--action=" three words: the option, "=" and the name.
    EXPECT_EQ(bashCompletions({QStringLiteral("--action"), QStringLiteral("="), QStringLiteral("open")}),
        (QStringList {QStringLiteral("openHistory")}));
    EXPECT_EQ(bashCompletions({QStringLiteral("--")}),
        (QStringList {QStringLiteral("--action"), QStringLiteral("--help"), QStringLiteral("--preview-recording-bar"),
            QStringLiteral("--selftest"), QStringLiteral("--version")}));
    EXPECT_EQ(bashCompletions({QStringLiteral("--v")}), (QStringList {QStringLiteral("--version")}));
}

TEST(ShellCompletion, ZshKnowsTheSameActions)
{
    QFile file(dataDir + QStringLiteral("/completion/_vantrel"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("#compdef vantrel\n")));
    const qsizetype start = text.indexOf(QStringLiteral("actions=("));
    const qsizetype end = text.indexOf(QLatin1Char(')'), start);
    ASSERT_GE(start, 0);
    QStringList names = text.mid(start + 9, end - start - 9).simplified().split(QLatin1Char(' '));
    names.sort();
    EXPECT_EQ(names, actionNames());

    const QString zsh = QStandardPaths::findExecutable(QStringLiteral("zsh"));
    if (zsh.isEmpty())
        GTEST_SKIP() << "zsh is not installed (scripts/setup.sh installs it): its syntax check did not run";
    const Outcome syntax = run(zsh, {QStringLiteral("-n"), dataDir + QStringLiteral("/completion/_vantrel")});
    EXPECT_EQ(syntax.exitCode, 0) << syntax.output.toStdString();
}
