#pragma once
// TVekLoad: writes a firmware file into a motor or plug-in module through the
// device's bootloader, on a serial port of its own, in a thread of its own.
//
// It brings the device into its bootloader (through the running firmware, by
// asking for a power cycle, or on "RS485 Start"), identifies it, tests the line
// (variant 0), erases, writes and verifies the flash blocks and starts the new
// firmware, with up to ten attempts. Every step is posted to the dialog:
//   UM_LOADERSTATUS  (code, value), codes below; the failure message carries the
//                    collected error lines as its text, one per line
//   UM_LOADERVERSION (bootloader version word, 0) with the file's description as text
// Blocks that have been erased, written or verified are removed. A failed
// attempt is followed by a new connect that goes on in the step that failed
// (identify, erase, write, verify or start), with the blocks that are left;
// a failed line test ends the load. A new load needs LoadFile again.
//
// Terminate raises a stop flag that every loop, wait and read observes, so an
// abort ends a load within about a second.

#include "link/sercom.h"
#include "platform/messages.h"
#include "update/firmwarefile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quenor {

class LoaderLink;

// Firmware update dialog messages.
enum : int {
    UM_LOADERSTATUS = WM_USER + 1,
    UM_LOADERVERSION = WM_USER + 2,
    UM_FIRMWAREFILES = WM_USER + 101,
};

enum LoaderStatus : int {
    kLoaderResetting = 1,
    kLoaderPowerCycle = 2,
    kLoaderErasing = 5,
    kLoaderTransferring = 6,  // value: percent
    kLoaderBlockDone = 7,
    kLoaderDone = 8,
    kLoaderFailed = 9,   // value: the variant
    kLoaderAborted = 10,
    kLoaderVerifying = 11,      // value: percent
    kLoaderErasePercent = 12,   // value: percent
    kLoaderTesting = 13,
};

// Waits of the variant-2 erase: up to eraseTimeoutMs per block, the percentage
// shown on a scale of eraseScaleMs. Tests shorten them.
// replyWaitMs: how long a reply (and the bootloader's reply code) may take to
// begin; 0 keeps the port's time-outs, as the program does. Tests that run
// beside other heavy jobs raise it, so a thread that runs late is not taken
// for a device that does not answer.
struct LoaderTiming {
    int eraseTimeoutMs = 10000;
    int eraseScaleMs = 19000;
    int replyPauseMs = 50;
    int replyWaitMs = 0;
};

// The line speeds command 11 selects by index.
int LoaderBaudRate(int index);  // -1 outside 0..8

class TVekLoad {
public:
    // With a port: the loader owns it, sets it to 57600 baud and opens it (a
    // TSerErr reaches the caller). Without: the loader only reads files.
    TVekLoad(MessageTarget* notifyWindow, std::unique_ptr<TSerCom> port);
    ~TVekLoad();  // stops the thread and waits for it
    TVekLoad(const TVekLoad&) = delete;
    TVekLoad& operator=(const TVekLoad&) = delete;

    // Reads and checks a file (TErr on failure; nothing of an earlier load is
    // kept), sets the variant and the information fields, clears the counters.
    void LoadFile(const std::string& fileName);
    std::string Description() const;
    bool HasReleaseNotes() const { return file_.hasReleaseNotes; }
    std::string ReleaseNotes() const { return file_.releaseNotes; }
    const FirmwareFile& File() const { return file_; }

    void SetVariant(int variant);
    int Variant() const { return variant_; }
    int BaudRate() const { return baud_; }
    int AttentionByte() const { return attention_; }
    int ReplyCode() const { return replyCode_; }
    int JumpCommand() const;  // -1 for none

    // Set before StartLoad.
    void SetEnterThroughFirmware(bool on) { enterThroughFirmware_ = on; }
    void SetModuleType(int type) { moduleType_ = type; }
    void SetTiming(const LoaderTiming& timing) { timing_ = timing; }

    // Runs the load in the loader's thread (once). A file without flash data
    // to write fails at once ("No flash data in file"), before anything is sent.
    void StartLoad();
    // Ends the wait for the bootloader's reply code.
    void RS485Start() { rs485Start_.store(true); }
    // Raises the stop flag; the thread posts "aborted" and ends.
    void Terminate();
    // Waits until the thread has ended.
    void Wait();
    bool Finished() const { return finished_.load(); }

    // The errors of the attempts so far.
    std::vector<std::string> Errors() const;

private:
    void Execute();
    void Connect();
    bool TrySync(int zeros, bool switchSpeed);
    bool Sync();
    void SetLoaderBaud(int index);
    void WaitForBootloader();
    bool WaitReplyCode();
    void ReadVersion();
    void CommTest();
    void EraseBlocks();
    void WriteBlocks();
    void WriteBlock(FirmwareBlock& block);
    void VerifyBlocks();
    void ReadStatusPair(const char* transferText, const char* writeText);
    void SendPattern();
    void CheckStop();
    void Post(int code, int value);
    void AddError(const std::string& text);

    MessageTarget* notify_;
    std::unique_ptr<TSerCom> port_;
    std::unique_ptr<LoaderLink> link_;
    int abortFd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> rs485Start_{false};
    std::atomic<bool> finished_{false};
    LoaderTiming timing_;

    FirmwareFile file_;
    bool enterThroughFirmware_ = false;
    bool newLoader_ = false;
    bool patchDone_ = false;
    std::vector<std::uint8_t> patchedFirst_;  // the first block as written, for verify data
    bool speedSwitched_ = false;               // command 11 moved the device to switchedBaud_
    int switchedBaud_ = 0;

    mutable std::mutex errorsMutex_;
    std::vector<std::string> errors_;

    int written_ = 0, verified_ = 0;
    int baud_ = 57600, attention_ = 0x4C, replyCode_ = 0x5A;
    int variant_ = 0;
    int moduleType_ = 0;
    int attempts_ = 0;
    int loaderRevision_ = 0;
    int loaderHardware_ = 0;
};

}  // namespace quenor
