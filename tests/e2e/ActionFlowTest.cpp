// SPDX-License-Identifier: GPL-3.0-or-later
// `vantrel --action NAME` and the bus interface behind it, with the real binary in a private X
// session and session bus: the hand-over to a running Vantrel, the start of one when none runs,
// the answers to names that are no action, and the interface as its documentation describes it.
#include "QtPrinters.h"
#include "SettingsTypes.h"
#include "SingleInstance.h"
#include "X11TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

int historyCount()
{
    return int(test::historyRecords().size());
}

bool waitForRecords(int count)
{
    return QTest::qWaitFor([count] { return historyCount() >= count; }, 10000);
}

bool overlayVisible()
{
    return !test::windowsTitled(QStringLiteral("Vantrel Selection")).isEmpty();
}

struct Finished
{
    int exitCode = -1;
    QString errors;
};

// A `vantrel` that is expected to end by itself (a hand-over, a refusal).
Finished runToEnd(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(VANTREL_BINARY), arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return {-1, QStringLiteral("did not end")};
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return {-1, QStringLiteral("crashed")};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

// A call on the interface answered by the running Vantrel; once it returns, every request sent
// before it has been taken and the actions it queued have run.
bool barrier()
{
    return test::callVantrel(QStringLiteral("OpenFiles"), {QStringList()}).type() == QDBusMessage::ReplyMessage;
}

class ActionFlow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // No thumbnails or sound: nothing stays on screen between captures. The first start is
        // not done: an action that starts Vantrel must not bring the welcome window over it.
        test::writeVantrelSettings(R"({"afterShowOverlay":{"bool":false},"playSound":{"bool":false}})");
        ASSERT_FALSE(test::vantrelOnTheBus()) << "a Vantrel of another test is still running";
    }

    void TearDown() override
    {
        // The next test starts without a Vantrel: wait until the name is given up.
        m_app.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return !test::vantrelOnTheBus(); }, 5000));
    }

    test::VantrelProcess& startVantrel(const QStringList& arguments = {})
    {
        m_app = std::make_unique<test::VantrelProcess>(QStringLiteral(VANTREL_BINARY), arguments);
        return *m_app;
    }

    std::unique_ptr<test::VantrelProcess> m_app;
};

void expectListsEveryAction(const QString& text)
{
    for (HotKeyAction action : allHotKeyActions)
        EXPECT_TRUE(text.contains(rawValue(action))) << rawValue(action).toStdString() << " in " << text.toStdString();
}

} // namespace

TEST_F(ActionFlow, WithNoVantrelRunningTheActionStartsOneThatPerformsIt)
{
    const int before = historyCount();
    test::VantrelProcess& app = startVantrel({QStringLiteral("--action"), QStringLiteral("captureFullscreen")});
    ASSERT_TRUE(waitForRecords(before + 1)) << app.errors().toStdString();
    EXPECT_TRUE(test::waitUntilVantrelIsReady()) << "the process that was started stays and serves the bus";
    EXPECT_EQ(app.process().state(), QProcess::Running);
    EXPECT_EQ(historyCount(), before + 1);
    // The welcome window is left for a start of its own: not even offered (its flag is written
    // at once when it is).
    QFile settings(test::vantrelConfigDir() + QStringLiteral("/settings.json"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_FALSE(settings.readAll().contains("didOnboard"));
}

TEST_F(ActionFlow, ASecondProcessHandsTheActionToTheRunningVantrelAndExits)
{
    test::VantrelProcess& app = startVantrel();
    ASSERT_TRUE(test::waitUntilVantrelIsReady()) << app.errors().toStdString();
    const int before = historyCount();

    const Finished handOver = runToEnd({QStringLiteral("--action"), QStringLiteral("captureFullscreen")});
    EXPECT_EQ(handOver.exitCode, 0) << handOver.errors.toStdString();
    ASSERT_TRUE(waitForRecords(before + 1)) << app.errors().toStdString();
    // The `--action=NAME` spelling is the same request.
    EXPECT_EQ(runToEnd({QStringLiteral("--action=captureFullscreen")}).exitCode, 0);
    ASSERT_TRUE(waitForRecords(before + 2)) << app.errors().toStdString();

    // While the selection overlay is open an action is ignored, as the overlay ignores a
    // shortcut: Escape then cancels it, and only the capture made afterwards is recorded.
    EXPECT_EQ(runToEnd({QStringLiteral("--action"), QStringLiteral("captureArea")}).exitCode, 0);
    ASSERT_TRUE(QTest::qWaitFor(overlayVisible, 8000)) << app.errors().toStdString();
    for (const char* name : {"captureFullscreen", "captureWindow", "capturePreviousArea", "pinFromClipboard"})
        EXPECT_EQ(runToEnd({QStringLiteral("--action"), QString::fromLatin1(name)}).exitCode, 0) << name;
    ASSERT_TRUE(barrier());
    EXPECT_EQ(test::windowsTitled(QStringLiteral("Vantrel Selection")).size(), 2) << "one overlay, one per monitor";
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            // The overlay takes the keyboard a moment after it maps; Escape until it is gone.
            test::xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            return QTest::qWaitFor([] { return !overlayVisible(); }, 500);
        },
        8000));
    EXPECT_EQ(historyCount(), before + 2) << "an action while the overlay was open made a capture";
    EXPECT_EQ(runToEnd({QStringLiteral("--action"), QStringLiteral("captureFullscreen")}).exitCode, 0);
    ASSERT_TRUE(waitForRecords(before + 3)) << app.errors().toStdString();
    ASSERT_TRUE(barrier());
    EXPECT_EQ(historyCount(), before + 3);
    EXPECT_EQ(app.process().state(), QProcess::Running);
}

TEST_F(ActionFlow, ANameThatIsNoActionIsRefusedWithTheListWhetherOrNotVantrelRuns)
{
    const int before = historyCount();
    const QStringList wrong[] = {
        {QStringLiteral("--action"), QStringLiteral("captureEverything")},
        {QStringLiteral("--action"), QString()},
        {QStringLiteral("--action"), QString(100000, QLatin1Char('a'))},
        {QStringLiteral("--action")},
    };
    for (const QStringList& arguments : wrong) {
        const Finished refused = runToEnd(arguments);
        EXPECT_EQ(refused.exitCode, 2) << arguments.join(' ').left(40).toStdString() << ": "
                                       << refused.errors.toStdString();
        expectListsEveryAction(refused.errors);
        EXPECT_LT(refused.errors.size(), 2000);
    }
    const Finished two = runToEnd({QStringLiteral("--action"), QStringLiteral("captureArea"),
        QStringLiteral("--action"), QStringLiteral("captureWindow")});
    EXPECT_EQ(two.exitCode, 2);
    EXPECT_TRUE(two.errors.contains(QStringLiteral("one --action at a time"))) << two.errors.toStdString();
    EXPECT_FALSE(test::vantrelOnTheBus()) << "a refused action starts no Vantrel";

    test::VantrelProcess& app = startVantrel();
    ASSERT_TRUE(test::waitUntilVantrelIsReady()) << app.errors().toStdString();
    for (const QStringList& arguments : wrong)
        EXPECT_EQ(runToEnd(arguments).exitCode, 2);

    // The bus method itself checks the name too, for callers other than vantrel.
    for (const QString& name : {QStringLiteral("captureEverything"), QString(), QString(100000, QLatin1Char('a'))}) {
        const QDBusMessage reply = test::callVantrel(QStringLiteral("Action"), {name});
        ASSERT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(reply.errorName(), QString::fromLatin1(SingleInstance::unknownActionError));
        expectListsEveryAction(reply.errorMessage());
        EXPECT_LT(reply.errorMessage().size(), 2000);
    }
    EXPECT_EQ(test::callVantrel(QStringLiteral("Action"), {QStringLiteral("openHistory"), QStringLiteral("extra")})
                  .errorName(),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
    ASSERT_TRUE(barrier());
    EXPECT_EQ(app.process().state(), QProcess::Running);
    EXPECT_EQ(historyCount(), before) << "nothing was performed";
}

namespace {

// The members of one interface in an introspection document, one line each
// ("method Action(in s name)", "property ActionNames as read"), sorted.
QStringList members(const QString& xml, const QString& interface)
{
    QStringList result;
    QXmlStreamReader reader(xml);
    bool inside = false;
    QString method;
    QStringList args;
    while (!reader.atEnd()) {
        reader.readNext();
        const auto attributes = reader.attributes();
        if (reader.isStartElement() && reader.name() == QStringLiteral("interface"))
            inside = attributes.value(QStringLiteral("name")) == interface;
        else if (reader.isEndElement() && reader.name() == QStringLiteral("interface"))
            inside = false;
        if (!inside)
            continue;
        if (reader.isStartElement() && reader.name() == QStringLiteral("method")) {
            method = attributes.value(QStringLiteral("name")).toString();
            args.clear();
        } else if (reader.isStartElement() && reader.name() == QStringLiteral("arg")) {
            args.append(QStringLiteral("%1 %2 %3")
                            .arg(attributes.value(QStringLiteral("direction")).toString(),
                                attributes.value(QStringLiteral("type")).toString(),
                                attributes.value(QStringLiteral("name")).toString()));
        } else if (reader.isEndElement() && reader.name() == QStringLiteral("method")) {
            result.append(QStringLiteral("method %1(%2)").arg(method, args.join(QStringLiteral(", "))));
        } else if (reader.isStartElement() && reader.name() == QStringLiteral("property")) {
            result.append(QStringLiteral("property %1 %2 %3")
                              .arg(attributes.value(QStringLiteral("name")).toString(),
                                  attributes.value(QStringLiteral("type")).toString(),
                                  attributes.value(QStringLiteral("access")).toString()));
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    result.sort();
    return result;
}

QVariant property(const QString& name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(SingleInstance::defaultServiceName),
        QString::fromLatin1(SingleInstance::objectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    call << QString::fromLatin1(SingleInstance::interfaceName) << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

} // namespace

TEST_F(ActionFlow, TheRunningVantrelAnswersTheDocumentedInterface)
{
    test::VantrelProcess& app = startVantrel();
    ASSERT_TRUE(test::waitUntilVantrelIsReady()) << app.errors().toStdString();

    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(SingleInstance::defaultServiceName),
        QString::fromLatin1(SingleInstance::objectPath), QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    const QString live = reply.arguments().value(0).toString();

    QFile file(QStringLiteral(VANTREL_DBUS_INTERFACE_XML));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << VANTREL_DBUS_INTERFACE_XML;
    const QString documented = QString::fromUtf8(file.readAll());

    const QString interface = QString::fromLatin1(SingleInstance::interfaceName);
    const QStringList liveMembers = members(live, interface);
    EXPECT_EQ(liveMembers, members(documented, interface));
    EXPECT_TRUE(liveMembers.contains(QStringLiteral("method Action(in s name)")));

    QStringList names;
    for (HotKeyAction action : allHotKeyActions)
        names.append(rawValue(action));
    EXPECT_EQ(property(QStringLiteral("ActionNames")).toStringList(), names);
    // Documented in the file too, in the same order.
    EXPECT_TRUE(documented.simplified().contains(names.join(QStringLiteral(", ")) + QLatin1Char('.')));
    const std::optional<QByteArray> version
        = test::runProcess(QStringLiteral(VANTREL_BINARY), {QStringLiteral("--version")});
    ASSERT_TRUE(version);
    EXPECT_EQ(QStringLiteral("Vantrel ") + property(QStringLiteral("Version")).toString(),
        QString::fromUtf8(*version).trimmed());
}
