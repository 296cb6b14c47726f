#include "platform/datapaths.h"

#include <QDir>
#include <QStandardPaths>

namespace quenor {

std::string UserDataDir()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString dir = base + QStringLiteral("/Tovik/Quenor");
    QDir().mkpath(dir);
    return dir.toStdString();
}

std::string UserDataFile(const std::string& name) { return UserDataDir() + "/" + name; }

}  // namespace quenor
