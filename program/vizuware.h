#pragma once
// The program editor without its form: the program, its setup options, the
// generated code, the module's limits and checksum, and the operations the
// main window and the editor form call (code generation, the program source
// stream for setup files, the download image and the upload).
//
// Questions and messages go through VizuWareUi: the editor form answers them
// with message boxes, tests answer them directly. Requests to the module go
// out through OnCommand (command, a, b).

#include "program/graphicprogram.h"
#include "program/vizucode.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quenor {

class VizuWareUi {
public:
    enum class Buttons { YesNo, OkCancel };
    virtual ~VizuWareUi() = default;
    // True for Yes or OK.
    virtual bool Ask(const std::string& text, const std::string& caption, Buttons buttons) = 0;
    virtual void Message(const std::string& text, const std::string& caption) = 0;
    // The program was replaced: lay the listing out and redraw it.
    virtual void ProgramChanged() {}
};

// Captions of the questions and messages.
inline constexpr const char* kCaptionProgram = "VekMRP program";
inline constexpr const char* kCaptionConfirm = "Confirm";
inline constexpr const char* kCaptionInformation = "Information";
inline constexpr const char* kCaptionApplication = "Quenor";

// Value conversion of the generation driver. Register values go from the
// chosen display unit (the flags) to register counts, rounded half away from
// zero; times, positions to set and fast-command numbers are truncated toward
// zero. Both saturate at the 32-bit range (NaN gives 0).
std::int32_t ConvertToCounts(const CVekParameterList& registers, double value, std::uint8_t flags, int reg);
std::int32_t TruncateValue(double value);

// Emits the code of a program of type 1 or 2 and links it: the start code
// from the type and the options, then every line. Messages for unknown
// commands go to messages. Returns nullptr for any other type. The result
// may have failed (TVizuCode::Failed) and must then not be used.
std::unique_ptr<TVizuCode> GenerateProgramCode(const CGraphicProgram& program, const ProgramSetupOptions& options,
                                               int motorKind, std::vector<std::string>& messages,
                                               const std::string& logPath = TVizuCode::DefaultLogPath());

// "1.1" for 0x0011: bits 4-7, then bits 0-3 of the low byte.
std::string CodeVersionText(std::uint16_t version);

class CVizuWareDocument {
public:
    // True when the owner carried the command out (command 0: the program is
    // on its way to the module).
    using CommandHandler = std::function<bool(int command, int a, int b)>;

    explicit CVizuWareDocument(VizuWareUi& ui);

    CGraphicProgram& Program() { return program_; }
    const CGraphicProgram& Program() const { return program_; }
    ProgramSetupOptions& Options() { return options_; }
    const ProgramSetupOptions& Options() const { return options_; }
    void SetOptions(const ProgramSetupOptions& options) { options_ = options; }

    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }

    // 0 and 1 servo motors, 2 stepper motors; switches the register list.
    void SetMotorKind(int kind);
    int MotorKind() const { return motorKind_; }

    void SetOnCommand(CommandHandler handler) { onCommand_ = std::move(handler); }
    // Sends a command to the owner; false when it gave no callback or could
    // not carry the command out.
    bool SendCommand(int command, int a = 0, int b = 0) { return onCommand_ && onCommand_(command, a, b); }

    // The module information record of a programmable module: bytes 2-3 the
    // program memory limit (low byte first), byte 5 the module's code
    // version. Bytes missing from a short record count as 0.
    void SetModuleInfo(std::span<const std::uint8_t> record);
    std::uint32_t ProgramMemoryLimit() const { return memoryLimit_; }
    std::uint16_t ModuleCodeVersion() const { return moduleVersion_; }

    // The checksum the module reported last; recomputes the transferred mark.
    void SetModuleChecksum(std::uint16_t checksum);
    std::uint16_t ModuleChecksum() const { return moduleChecksum_; }
    // The checksum of the code last generated or uploaded, -1 when unknown.
    std::int32_t ExpectedChecksum() const { return expectedChecksum_; }
    void SetExpectedChecksum(std::int32_t checksum) { expectedChecksum_ = checksum; }
    bool Transferred() const { return transferred_; }

    // --- Code generation -------------------------------------------------------
    // Replaces the generated code. False, with no code left, for a program of
    // type 0 or 3, when the user declines the question for a stepper motor,
    // or when the code cannot be built (a message says why).
    bool GenerateCode();
    const TVizuCode* Code() const { return code_.get(); }
    void DropCode() { code_.reset(); }

    // --- Program source stream ---------------------------------------------------
    // The program's source stream with the options and remarks, for the setup
    // file; empty when there is no program. Clears the modified mark.
    std::vector<std::uint8_t> SaveProgramToStream();
    // Replaces the program by the one in the stream (asking first when the
    // present one is modified), takes its options, clears the modified mark
    // and generates code. False when the user declined or the stream was
    // rejected (a message was shown; nothing changed).
    bool LoadProgramFromStream(std::span<const std::uint8_t> stream);
    // The debugging copy "Program.Vizu" in the user data folder. Loading
    // keeps the present options.
    //
    // Every load that replaces the program (these two and the upload) tells
    // the owner through command 8 whether it holds a program to print: 1
    // for types 1 and 2, 0 for any other.
    bool SaveDebugProgram();
    bool LoadDebugProgram();

    // --- Download image and upload ----------------------------------------------------
    // The image to download into the module, empty when there is nothing to
    // send (a message or question has told the user where there is one).
    // value: the u32 of the optional parameter block, 0 for none.
    std::vector<std::uint8_t> BuildTransferImage(std::uint32_t value = 0);
    // Parses an image read back from the module and takes its program;
    // nullptr means no image. False when the upload was declined or failed.
    bool UploadImage(const std::vector<std::uint8_t>* image);

    // Where the generator's log goes; empty for none.
    void SetLogPath(std::string path) { logPath_ = std::move(path); }

private:
    void Message(const std::string& text, const std::string& caption = kCaptionApplication);
    bool VersionMatches(std::uint16_t programVersion);
    bool HasProgram() const;
    void TellProgramPresent();

    VizuWareUi& ui_;
    CGraphicProgram program_;
    ProgramSetupOptions options_;
    bool modified_ = false;
    int motorKind_ = 0;
    CommandHandler onCommand_;
    std::unique_ptr<TVizuCode> code_;
    std::uint32_t memoryLimit_ = 0;
    std::uint16_t moduleVersion_ = 0;
    std::uint16_t moduleChecksum_ = 0;
    std::int32_t expectedChecksum_ = -1;
    bool transferred_ = false;
    bool uploading_ = false;  // an upload tells the owner once, at its end
    std::string logPath_ = TVizuCode::DefaultLogPath();
};

}  // namespace quenor
