// The program update dialog: which releases it offers, and the whole road from
// "&Download && Install" to the updater, kept or ended by the user's answer.

#include "update/ui/frmquenorupdate.h"
#include "updateserver.h"

#include "support/qtapp.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <csignal>

namespace quenor {
namespace {

using test::UpdateServer;

QString LastStatus(const TfrmQuenorUpdate& dlg)
{
    return dlg.lbStatus->count() ? dlg.lbStatus->item(dlg.lbStatus->count() - 1)->text() : QString();
}

TfrmQuenorUpdate::Source SourceFor(const UpdateServer& server, const QString& dir, std::uint32_t ms, bool beta)
{
    TfrmQuenorUpdate::Source s;
    s.programUrl = server.Url("prog/");
    s.programDir = dir.toStdString();
    s.options = server.Options();
    s.version.productVersionMS = ms;
    s.version.fileFlags = beta ? 1 : 0;
    return s;
}

TEST(FrmQuenorUpdate, OffersNewerReleasesOnly)
{
    test::TestApp();
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    server.Put("prog/releaseinfoA.txt", "5.3 q.zip\r\nFixed:\r\n- the scope\r\n");
    struct Case {
        std::uint32_t ms;
        bool beta;
        const char* label;
        const char* status;
    };
    const Case cases[] = {
        {0x00050002, false, "5.2", "New Quenor version avaible !!"},
        {0x00050003, false, "5.3", "No updates avaible"},
        {0x00050003, true, "5.3 \xC3\x9F", "New Quenor version avaible !!"},
        {0x0005000A, false, "5.10", "No updates avaible"},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TfrmQuenorUpdate dlg;
        dlg.SetSource(SourceFor(server, dir.path(), c.ms, c.beta));
        dlg.show();
        ASSERT_TRUE(test::SpinUntil([&] { return dlg.lbStatus->count() >= 2; }));
        EXPECT_EQ(dlg.lblCurrentVersion->text(), QString::fromUtf8(c.label));
        EXPECT_EQ(dlg.lbStatus->item(0)->text(), "Downloading release notes from the Internet");
        EXPECT_EQ(LastStatus(dlg), c.status);
        EXPECT_EQ(dlg.btnUpdate->isEnabled(), std::string(c.status) != "No updates avaible");
        EXPECT_EQ(dlg.meRelNotes->toPlainText(), "Fixed:\n- the scope\n");
        dlg.btnClose->click();
        EXPECT_EQ(dlg.result(), 2);
        EXPECT_EQ(dlg.Thread(), nullptr);
    }
}

TEST(FrmQuenorUpdate, AsksForProxyCredentialsOnTheGuiThread)
{
    test::TestApp();
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    server.Put("prog/releaseinfoA.txt", "5.4 q.zip\nnotes");
    QTemporaryDir dir;
    TfrmQuenorUpdate dlg;
    TfrmQuenorUpdate::Source source = SourceFor(server, dir.path(), 0x00050003, false);
    source.options.proxy = server.ProxyUrl();
    dlg.SetSource(source);
    int asked = 0;
    dlg.AskProxy = [&](ProxyPrompt& prompt) {
        ++asked;
        prompt.Answer(true, "user", "secret");
    };
    dlg.show();
    ASSERT_TRUE(test::SpinUntil([&] { return dlg.lbStatus->count() >= 2; }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(LastStatus(dlg), "New Quenor version avaible !!");
}

TEST(FrmQuenorUpdate, DownloadsAndHandsOver)
{
    test::TestApp();
    UpdateServer server;
    ASSERT_TRUE(server.Ok());
    server.Put("prog/releaseinfoA.txt", "6.0 Quenor60.zip\n");
    server.Put("prog/quenor60.zip", [] {
        QFile f(QUENOR_FIXTURES "/release.zip");
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }());
    QTemporaryDir dir;
    {
        QFile f(dir.path() + "/Updater");
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\nexec sleep 60\n");
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    for (bool agree : {false, true}) {
        SCOPED_TRACE(agree);
        TfrmQuenorUpdate dlg;
        dlg.SetSource(SourceFor(server, dir.path(), 0x00050003, false));
        pid_t updater = -1;
        int asked = 0;
        dlg.AskUpdateReady = [&] {
            ++asked;
            updater = dlg.Thread()->UpdaterPid();
            return agree;
        };
        dlg.show();
        ASSERT_TRUE(test::SpinUntil([&] { return dlg.btnUpdate->isEnabled(); }));
        dlg.btnUpdate->click();
        EXPECT_FALSE(dlg.btnUpdate->isEnabled());
        ASSERT_TRUE(test::SpinUntil([&] { return asked > 0; }));
        test::Spin(100);  // asked only once
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(dlg.pbDownload->value(), 100);
        ASSERT_GT(updater, 0);
        if (agree) {
            // The updater takes over: result 1, and it keeps running.
            EXPECT_EQ(dlg.result(), 1);
            EXPECT_FALSE(dlg.isVisible());
            EXPECT_EQ(::kill(updater, 0), 0);
            ::kill(updater, SIGKILL);
        } else {
            // Cancel ends the updater; the dialog stays.
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(LastStatus(dlg), "Update downloaded successfully");
            EXPECT_NE(::kill(updater, 0), 0);
            EXPECT_TRUE(dlg.btnUpdate->isEnabled());
        }
    }
}

}  // namespace
}  // namespace quenor
