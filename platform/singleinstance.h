#pragma once
// One running Quenor per user. The first start listens on a local socket; a
// second start finds it, asks it to come to the front, hands over the file
// named on its command line, and exits.

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace quenor {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the socket name; empty means the per-user default.
    explicit SingleInstance(const QString& name = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Tries to become the running instance. Returns true when this process is
    // now the primary one; false when another instance already runs (or the
    // socket could not be set up and another instance answered).
    bool Claim();

    // Second instance: asks the running one to come to the front and open the
    // file (empty: only come to the front). Returns true when it was delivered;
    // otherwise why says why not. The file's path goes whole, whatever bytes
    // it holds; a name that stands for no path of its own is not sent.
    bool SendToPrimary(const QString& fileName, int timeoutMs = 3000, QString* why = nullptr) const;

    static QString DefaultName();
    QString Name() const { return name_; }

signals:
    // Primary instance: another start asked us to come to the front; fileName
    // is the absolute path of the file it named, or empty.
    void Activated(const QString& fileName);

private:
    void OnNewConnection();

    QString name_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace quenor
