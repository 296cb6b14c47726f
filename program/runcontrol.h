#pragma once
// Run control of the programmable module, without widgets: what the editor's
// bar shows for the module's last status, what its buttons send through the
// document's command callback, and the program menu's commands (new program,
// setup, upload, information, print, clear).
//
// The form shows the state after each call: the status and checksum texts,
// the "not transferred" warning, the buttons and where the debug pointer goes.

#include "program/vizuware.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quenor {

enum class ModuleStateGroup { Stopped, Running, Paused, Error };

// The text of a module run state (byte 0 of the status block) and its group;
// 12 and above are unknown errors with an empty text.
const char* ModuleStateText(int state);
ModuleStateGroup ModuleStateGroupOf(int state);

struct RunControlButtons {
    bool transfer = true;
    bool start = true;
    bool stop = false;
    bool pause = false;
    bool singleStep = false;
    bool pauseSaysResume = false;  // "&Resume" instead of "&Pause"
    bool operator==(const RunControlButtons&) const = default;
};

// Where the debug pointer goes after a status.
enum class DebugPointerPlace {
    Hidden,  // not shown
    Above,   // moved above the visible rows (the program is not the module's)
    OnLine,  // beside the row of pointerLine
};

// What the program information box shows.
struct ProgramInformation {
    std::uint32_t codeSize = 0;     // generated code, or the held binary code
    std::uint32_t sourceSize = 0;   // source without remarks; 0 shows "NA"
    std::uint32_t remarkSize = 0;   // what the remarks add
    std::string lines;              // last line + 1, or "NA"
    std::string checksum;           // signed, -1 when unknown
    std::string mode;               // the program type's name
};

// The three size texts of the box: program only, program + source,
// program + source + remarks.
struct ProgramSizeTexts {
    std::string program;
    std::string programSource;
    std::string programSourceRem;
};
ProgramSizeTexts SizeTexts(std::uint16_t codeSize, std::uint16_t sourceSize, std::uint16_t remarkSize);

// "None", "Absolute and relative", "Endless relative", "Binary source".
const char* ProgramTypeName(int type);

class CVizuRunControl {
public:
    CVizuRunControl(CVizuWareDocument& document, VizuWareUi& ui);

    // What the form provides.
    std::function<bool(ProgramSetupOptions&)> editSetup;            // the setup dialog; true on OK
    std::function<void(const ProgramInformation&)> showInformation;  // the information box
    std::function<void()> print;                                    // prints the listing
    std::function<void()> resetEditing;                             // selected line and jump picking off

    // The bar's buttons.
    void TransferButtonClick();
    void StartButtonClick();
    void StopButtonClick();
    void PauseButtonClick();
    void SingleStepButtonClick();
    void UploadBtnClick();

    // The module's 64-byte status reply: byte 0 the state, bytes 1-2 the
    // program counter, bytes 4-5 the module's checksum (low bytes first).
    // Missing bytes count as 0.
    void ShowModuleStatus(std::span<const std::uint8_t> block);

    // The program menu: 0 new, 1 setup, 2 upload (image), 3 information,
    // 4 print, 5 clear.
    void ProgramMenuCommand(int code, const std::vector<std::uint8_t>* image = nullptr);
    ProgramInformation Information();

    // What the bar shows.
    const std::string& DebugInfoText() const { return debugInfo_; }
    std::string ChecksumText() const;
    bool TransferredWarningVisible() const { return !document_.Transferred(); }
    const RunControlButtons& Buttons() const { return buttons_; }
    bool Paused() const { return paused_; }
    bool ErrorState() const { return error_; }
    std::uint16_t ProgramCounter() const { return programCounter_; }
    DebugPointerPlace PointerPlace() const { return pointer_; }
    int PointerLine() const { return pointerLine_; }

private:
    void Send(int command, int a = 0, int b = 0);
    void NewProgram();
    void ClearProgram();

    CVizuWareDocument& document_;
    VizuWareUi& ui_;
    std::string debugInfo_;
    RunControlButtons buttons_;
    bool paused_ = false;
    bool error_ = false;
    std::uint16_t programCounter_ = 0;
    DebugPointerPlace pointer_ = DebugPointerPlace::Hidden;
    int pointerLine_ = -1;
};

}  // namespace quenor
