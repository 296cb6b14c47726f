#include "platform/singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/qtcore.h"

using namespace quenor;

namespace {

QCoreApplication& App() { return test::TestCoreApp(); }
using test::SpinUntil;

}  // namespace

TEST(SingleInstance, SecondStartHandsItsFileToTheFirst)
{
    App();
    QTemporaryDir dir;
    const QString name = dir.path() + "/quenor.socket";
    SingleInstance first(name);
    ASSERT_TRUE(first.Claim());
    QStringList received;
    int activations = 0;
    QObject::connect(&first, &SingleInstance::Activated, [&](const QString& f) {
        ++activations;
        received << f;
    });

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
