#include "update/firmwarefolders.h"

#include "platform/datapaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QString>

namespace quenor {

std::string ProgramFirmwareFolder()
{
    if (QCoreApplication::instance() == nullptr)
        return ".";
    return QCoreApplication::applicationDirPath().toStdString();
}

std::string UserFirmwareFolder()
{
    const std::string dir = UserDataDir() + "/Firmware";
    QDir().mkpath(QString::fromStdString(dir));
    return dir;
}

}  // namespace quenor
