#pragma once
// The bootloader's frames over a serial port.
//
// A frame, both ways: byte 0 the command + 0xA0; byte 1 n, the number of data
// bytes (in replies only its low four bits count); n data bytes; a checksum
// byte that makes all bytes of the frame add up to 0 modulo 256.

#include "link/sercom.h"

#include <cstdint>
#include <vector>

namespace quenor {

// The frame of a command with its data (n up to 255).
std::vector<std::uint8_t> BuildLoaderFrame(int command, const std::uint8_t* data, int n);

class LoaderLink {
public:
    // abortFd: an eventfd that ends every wait (SerAborted) once readable; -1 for none.
    LoaderLink(TSerCom& port, int abortFd, int replyPauseMs = 50) : port_(port), abortFd_(abortFd), pauseMs_(replyPauseMs) {}

    // Puts the frame into the port and flushes.
    void SendCommand(int command, const std::uint8_t* data = nullptr, int n = 0);
    // Sends raw bytes, in pieces that fit the port's output ring.
    void SendRaw(const std::uint8_t* data, std::size_t n);
    void SendZeros(std::size_t n);

    // Reads a reply frame of this command. The first byte must be command + 0xA0
    // and the checksum must balance, else TErr "Error sending command: <command>".
    // Copies the data to out, at most outSize bytes; pauses (replyPauseMs);
    // returns the first data byte, or 0 without data. A reply that does not
    // come throws the port's TSerErr. With a reply wait set, the reply may take
    // that long to begin before the port's time-outs apply.
    int WaitReply(int command, std::uint8_t* out = nullptr, int outSize = 0);
    // The same within the port's time-outs alone: for a status polled while the
    // device works, where every time-out is a step of the progress shown.
    int PollReply(int command, std::uint8_t* out = nullptr, int outSize = 0);

    // Sleeps, ended early by the abort descriptor (SerAborted).
    void Sleep(int ms);

    void SetReplyPauseMs(int ms) { pauseMs_ = ms; }
    void SetReplyWaitMs(int ms) { waitMs_ = ms; }
    TSerCom& Port() { return port_; }

private:
    TSerCom& port_;
    int abortFd_;
    int pauseMs_;
    int waitMs_ = 0;
};

}  // namespace quenor
