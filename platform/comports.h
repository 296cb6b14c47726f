#pragma once
// Which Linux device stands for COM port n.
//
// The device named by the environment variable QUENOR_COM<n> when it is set,
// else the setting "Ports/COM<n>", else /dev/ttyS<n-1> (COM1 is /dev/ttyS0).
// USB adapters appear as /dev/ttyUSB<k> or /dev/ttyACM<k>: map them with the setting.

#include <string>

namespace quenor {

std::string ComDevicePath(int port);
std::string DefaultComDevicePath(int port);

}  // namespace quenor
