#pragma once
// A pseudo-terminal pair: the master end for a program that plays the device,
// the slave end's path for the program that opens it as a serial port.
// Both ends are put in raw mode (no echo, no line editing, no XON/XOFF), so
// every byte value travels unchanged.

#include <string>

namespace quenor {

class PtyPair {
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Opens a new pair; false (with errno set) when the system has none to give.
    // keepSlaveOpen holds a slave descriptor of our own, so the master never sees
    // a hang-up while the serial side closes and reopens the device.
    bool Open(bool keepSlaveOpen = true);
    void Close();

    int MasterFd() const { return master_; }
    int SlaveFd() const { return slave_; }  // -1 unless kept open
    const std::string& SlavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// Puts a terminal descriptor in raw mode: 8 data bits, no parity, no flow control.
bool MakeRaw(int fd);

}  // namespace quenor
