#pragma once
// The test update server (testserver.py) in a process of its own: HTTPS on
// 127.0.0.1 with a throwaway authority, a plain HTTP port and a proxy.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/qtcore.h"
#include "update/httpclient.h"

#include <string>

namespace quenor::test {

class UpdateServer {
public:
    UpdateServer()
    {
        if (!QCoreApplication::instance())
            TestCoreApp();
        QDir().mkpath(Root());
        QDir().mkpath(dir_.path() + "/work");
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(QUENOR_PYTHON3),
                       {QStringLiteral(QUENOR_TEST_SERVER), "--root", Root(), "--work", dir_.path() + "/work"});
        QByteArray line;
        for (int i = 0; i < 100 && !line.endsWith('\n'); ++i) {
            process_.waitForReadyRead(200);
            line += process_.readLine();
        }
        const QStringList parts = QString::fromUtf8(line).trimmed().split(' ');
        if (parts.size() == 5 && parts[0] == "READY") {
            https_ = parts[1].toInt();
            http_ = parts[2].toInt();
            proxy_ = parts[3].toInt();
            ca_ = parts[4].toStdString();
        }
    }
    ~UpdateServer()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

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
    QProcess process_;
    int https_ = 0;
    int http_ = 0;
    int proxy_ = 0;
    std::string ca_;
};

}  // namespace quenor::test
