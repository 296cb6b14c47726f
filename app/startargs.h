#pragma once
// The program's command line: at most one argument, the setup file to open.
// An argument that begins with "--" is an option, never a file.

#include <string>
#include <vector>

namespace quenor {

enum class StartAction {
    Run,      // open the window (with the setup file, if one was named)
    Help,     // print the usage on standard output, exit 0
    Version,  // print the version on standard output, exit 0
    Refuse,   // an unknown option: the usage on standard error, exit 2
};

struct StartArguments {
    StartAction action = StartAction::Run;
    std::string option;  // the option that decided the action
};

// Decides from the arguments after the program's name; the first option
// decides.
StartArguments ParseStartArguments(const std::vector<std::string>& args);

// What --help prints: the one optional setup file and the environment.
std::string UsageText();
// What --version prints: "Quenor " and the version, one line.
std::string VersionText();

}  // namespace quenor
