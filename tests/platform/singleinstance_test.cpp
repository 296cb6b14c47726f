#include "platform/singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/qtcore.h"

using namespace quenor;

namespace {

QCoreApplication& App() { return test::TestCoreApp(); }
using test::SpinUntil;

// Lets the event loop run for ms: for what must not happen meanwhile.
void SpinFor(int ms)
{
    SpinUntil([] { return false; }, ms);
}

// A running instance and what it was asked for.
class RunningInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(first.Claim());
        QObject::connect(&first, &SingleInstance::Activated, [this](const QString& f) {
            ++activations;
            received << f;
        });
    }

    QTemporaryDir dir;
    const QString name = dir.path() + "/quenor.socket";
    SingleInstance first{name};
    QStringList received;
    int activations = 0;
};

}  // namespace

TEST_F(RunningInstance, SecondStartHandsItsFileToTheFirst)
{
    SingleInstance second(name);
    EXPECT_FALSE(second.Claim());
    // A relative name is resolved against the second start's working folder.
    ASSERT_TRUE(second.SendToPrimary(QStringLiteral("pump setup.vek")));
    ASSERT_TRUE(SpinUntil([&] { return activations == 1; }));
    EXPECT_EQ(received.value(0), QDir::current().absoluteFilePath(QStringLiteral("pump setup.vek")));

    // Without a file the running window only comes to the front.
    ASSERT_TRUE(second.SendToPrimary(QString()));
    ASSERT_TRUE(SpinUntil([&] { return activations == 2; }));
    EXPECT_TRUE(received.value(1).isEmpty());

    // A name may hold any byte but NUL: each reaches the running window whole.
    const QString odd[] = {QStringLiteral("nl\nb.vek"), QStringLiteral("tab\t\r\n\nend.vek"),
                           QStringLiteral("OPEN\tx\n"), QStringLiteral("\u20ac \\ \"q\".vek")};
    for (const QString& file : odd) {
        const int before = activations;
        ASSERT_TRUE(second.SendToPrimary(file));
        ASSERT_TRUE(SpinUntil([&] { return activations == before + 1; })) << file.toStdString();
        EXPECT_EQ(received.value(before), QDir::current().absoluteFilePath(file)) << file.toStdString();
    }

    // What cannot go whole does not go, and says why.
    QString why;
    EXPECT_FALSE(second.SendToPrimary(QString(70000, QLatin1Char('x')), 3000, &why));
    EXPECT_EQ(why, QStringLiteral("the file name is longer than 65536 bytes"));
    SpinFor(300);
    EXPECT_EQ(activations, 6);
}

// The running instance takes nothing but a whole request: a path cut short,
// too long, not absolute or not a name of its own, or the old one-line form,
// opens nothing.
TEST_F(RunningInstance, ARequestThatIsNotWholeOpensNothing)
{
    const QByteArray requests[] = {
        "OPEN 9\n/a.vek",                // cut short
        "OPEN\t/a.vek\n",                // the old form
        "OPEN 70000\n/a.vek",            // longer than any path
        "OPEN 5\na.vek",                 // not absolute
        "OPEN 6\n/\xff.vek",              // not UTF-8
        "OPEN 06\n/a.vek",               // not the length as it is written
        "OPEN -5\n/a.vek",
        QByteArray(100, 'S'),              // no request at all
    };
    for (const QByteArray& request : requests) {
        QLocalSocket peer;
        peer.connectToServer(name);
        ASSERT_TRUE(peer.waitForConnected(3000));
        peer.write(request);
        ASSERT_TRUE(peer.waitForBytesWritten(3000));
        peer.disconnectFromServer();
    }
    SingleInstance second(name);
    ASSERT_TRUE(second.SendToPrimary(QStringLiteral("/b.vek")));
    ASSERT_TRUE(SpinUntil([&] { return !received.isEmpty(); }));
    SpinFor(300);
    EXPECT_EQ(received, QStringList{QStringLiteral("/b.vek")});
}

TEST(SingleInstance, StaleSocketOfACrashedInstanceIsTakenOver)
{
    App();
    QTemporaryDir dir;
    const QString name = dir.path() + "/quenor.socket";
    {
        QFile stale(name);  // a plain file where a crashed instance left its socket
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance first(name);
    EXPECT_TRUE(first.Claim());
    SingleInstance second(name);
    EXPECT_FALSE(second.Claim());
}

TEST(SingleInstance, NothingToHandOverToWhenNoneRuns)
{
    App();
    QTemporaryDir dir;
    SingleInstance lone(dir.path() + "/quenor.socket");
    EXPECT_FALSE(lone.SendToPrimary(QStringLiteral("x.vek"), 500));
}
