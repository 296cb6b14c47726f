#include "app/startargs.h"

#include "quenor_version.h"

namespace quenor {

StartArguments ParseStartArguments(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg.rfind("--", 0) != 0)
            continue;
        if (arg == "--help")
            return {StartAction::Help, arg};
        if (arg == "--version")
            return {StartAction::Version, arg};
        return {StartAction::Refuse, arg};
    }
    return {};
}

std::string UsageText()
{
    return "Usage: quenor [SETUP-FILE]\n"
           "       quenor --help | --version\n"
           "\n"
           "Sets up, tests and programs servo and stepper motors over a serial line.\n"
           "SETUP-FILE (*.vek) is opened once the window is up; when Quenor runs\n"
           "already, its window comes to the front and opens the file.\n"
           "\n"
           "Options:\n"
           "  --help     print this text and exit\n"
           "  --version  print the version and exit\n"
           "\n"
           "Environment:\n"
           "  QUENOR_COM<n>  the device of COM port n (1 to 24), for example\n"
           "                 QUENOR_COM1=/dev/ttyUSB0; it comes before the setting\n"
           "                 Ports/COM<n> in ~/.config/Tovik/Quenor.conf\n"
           "  https_proxy, no_proxy\n"
           "                 the proxy for the update server\n";
}

std::string VersionText()
{
    return std::string("Quenor ") + QUENOR_VERSION_STRING + "\n";
}

}  // namespace quenor
