#pragma once
// The test update server (testserver.py) in a process of its own: HTTPS on
// 127.0.0.1 with a throwaway authority, a plain HTTP port and a proxy.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/qtcore.h"
#include "update/httpclient.h"

#include <string>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quenor::test {

class UpdateServer {
public:
    UpdateServer()
    {
        if (!QCoreApplication::instance())
            TestCoreApp();
        QDir().mkpath(Root());
        QDir().mkpath(dir_.path() + "/work");
        // Started with posix_spawn rather than QProcess, whose way of starting
        // children ThreadSanitizer cannot follow.
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        const std::string root = Root().toStdString();
        const std::string work = (dir_.path() + "/work").toStdString();
        const char* argv[] = {QUENOR_PYTHON3, QUENOR_TEST_SERVER, "--root", root.c_str(), "--work", work.c_str(), nullptr};
        if (posix_spawn(&pid_, QUENOR_PYTHON3, &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toServer_ = in[1];
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && ::poll(&p, 1, 20000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(out[0]);
        const QStringList parts = QString::fromStdString(line).trimmed().split(' ');
        if (parts.size() == 5 && parts[0] == "READY") {
            https_ = parts[1].toInt();
            http_ = parts[2].toInt();
            proxy_ = parts[3].toInt();
            ca_ = parts[4].toStdString();
        }
    }
    ~UpdateServer()
    {
        ::close(toServer_);  // the server ends when its input closes
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
    }
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    bool Ok() const { return https_ > 0; }
    QString Root() const { return dir_.path() + "/root"; }
    std::string Url(const std::string& path = "") const
    {
        return "https://127.0.0.1:" + std::to_string(https_) + "/" + path;
    }
    std::string ProxyUrl() const { return "http://127.0.0.1:" + std::to_string(proxy_); }
    const std::string& CaFile() const { return ca_; }

    // Direct to the server, trusting its authority, with short limits.
    HttpOptions Options() const
    {
        HttpOptions o;
        o.caFile = ca_;
        o.proxy = std::string();
        o.connectTimeoutMs = 5000;
        o.stallTimeoutS = 2;
        return o;
    }

    // Puts a file on the server, with how it is to be answered ("" normally).
    void Put(const std::string& path, const QByteArray& body, const std::string& behave = "") const
    {
        const QString file = Root() + "/" + QString::fromStdString(path);
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(body);
        f.close();
        if (!behave.empty()) {
            QFile b(file + ".behave");
            ASSERT_TRUE(b.open(QIODevice::WriteOnly));
            b.write(behave.c_str());
        }
    }

    QStringList Requests() const
    {
        QFile f(Root() + "/requests.log");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir dir_;
    pid_t pid_ = -1;
    int toServer_ = -1;
    int https_ = 0;
    int http_ = 0;
    int proxy_ = 0;
    std::string ca_;
};

}  // namespace quenor::test
