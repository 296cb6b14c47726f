#include "platform/comports.h"

#include "platform/settings.h"

#include <cstdlib>

namespace quenor {

std::string DefaultComDevicePath(int port)
{
    return "/dev/ttyS" + std::to_string(port - 1);
}

std::string ComDevicePath(int port)
{
    const std::string var = "QUENOR_COM" + std::to_string(port);
    if (const char* env = std::getenv(var.c_str()); env && *env)
        return env;
    Settings settings;
    const std::string configured = settings.ReadString(QStringLiteral("Ports/COM%1").arg(port), "");
    if (!configured.empty())
        return configured;
    return DefaultComDevicePath(port);
}

}  // namespace quenor
