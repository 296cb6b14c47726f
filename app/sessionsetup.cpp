// Setup files of the session: saving the pages and the program, loading them
// with the compatibility rules, and what becomes of a load that the link cuts off.

#include "app/loadsave.h"
#include "app/motorregisters.h"
#include "app/motorsession.h"
#include "app/motortypes.h"
#include "app/setupfile.h"
#include "params/parameterlists.h"
#include "params/paramfactory.h"
#include "params/paramkinds.h"
#include "params/paramvalue.h"
#include "platform/cp1252.h"
#include "platform/savefile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace quenor {
namespace {

std::string PathBytes(const QString& name) { return QFile::encodeName(name).toStdString(); }

std::string Lowered(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The controls of a family that take a line from a file, built without
// widgets, by lower-case caption: they know what their register or field holds.
std::multimap<std::string, std::unique_ptr<CParamControl>> TakerControls(int generation)
{
    std::multimap<std::string, std::unique_ptr<CParamControl>> out;
    const ParamTableSet* set = TableSetOfFamily(generation);
    if (!set)
        return out;
    for (const ParamTable* t : {set->main, set->extra, set->status})
        for (int r = 0; r < t->RowCount(); ++r) {
            const InitParam* row = t->Row(r);
            if (!KindTakesSetupLine(row[0].i, row[7].i))
                continue;
            if (auto c = CreateParamControl(nullptr, row))
                out.emplace(Lowered(c->Caption()), std::move(c));
        }
    return out;
}

// Every value that the load would apply is an integer that fits its control.
bool SetupValuesFit(const std::vector<std::string>& lines, int generation)
{
    const auto takers = TakerControls(generation);
    for (const auto& line : lines) {
        const auto entry = SplitSetupEntry(line);
        if (!entry || entry->key == kProgramKey)
            continue;
        const auto [first, last] = takers.equal_range(Lowered(entry->key));
        if (first == last)
            continue;
        try {
            const std::int32_t v = ParseSetupInteger(entry->value);
            for (auto it = first; it != last; ++it)
                if (!it->second->SetupValueFits(v))
                    return false;
        } catch (const SetupValueError&) {
            return false;
        }
    }
    return true;
}

// Why a file was not read, on a line after its name.
QString ReadFaultText(ReadFault fault)
{
    if (fault == ReadFault::None)
        return {};
    return QStringLiteral("\nError: ") +
           QString::fromStdString(ReadFaultReason(fault, kSetupFileMaxBytes, "a setup file"));
}

}  // namespace

bool MotorSession::TakesSetupLine(const CParamControl& c) const
{
    const auto* edit = dynamic_cast<const CParamControlEdit*>(&c);
    return KindTakesSetupLine(c.Kind(), edit && edit->Editable() ? efEditable : 0);
}

std::vector<std::string> MotorSession::BuildSetupLines() const
{
    const int filterType = FilterTypeOfValues(generation_, CombinedValue(102), CombinedValue(103),
                                              CombinedValue(104), CombinedValue(105));
    // A motor of a type Quenor does not know is saved with the code it
    // reported, so that its own file restores it whole.
    const bool unknown = state_.connected && state_.motorTypeUnknown;
    std::vector<std::string> lines = SetupHeaderLines(
        unknown ? static_cast<int>(state_.reportedTypeCode) : state_.motorType, generation_, filterType, unknown);
    for (const auto& c : controls_) {
        std::string line = c->GetSetupLine();
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}

void MotorSession::SetFileName(const QString& name)
{
    fileName_ = name;
    view_.FileNameChanged();
}

void MotorSession::AddRecentFile(const QString& name)
{
    quenor::AddRecentFile(recentFiles_, name);
    view_.FileNameChanged();
}

bool MotorSession::SaveSetupFile(const QString& name)
{
    std::vector<std::string> lines = BuildSetupLines();
    const bool wasModified = vizu_->Modified();
    const std::vector<std::uint8_t> program = vizu_->SaveProgramToStream();
    if (!program.empty())
        lines.push_back(ProgramLine(HexTextFromStream(program)));
    std::string reason;
    if (!SaveWholeFile(PathBytes(name), JoinTextLines(lines), &reason)) {
        // The program is still not saved anywhere: closing must still ask.
        vizu_->SetModified(wasModified);
        prompts.error(QStringLiteral("Error saving the file <%1>\nError: %2").arg(name, QString::fromStdString(reason)),
                      QStringLiteral("Save error!"));
        return false;
    }
    vizu_->SetModified(false);
    SetFileName(name);
    AddRecentFile(name);
    return true;
}

MotorSession::LoadStart MotorSession::BeginLoad() const
{
    // A motor of unknown type is compared by the code it reported: no file's
    // filter is taken for it but one made for that very code.
    const int type =
        state_.connected && state_.motorTypeUnknown ? static_cast<int>(state_.reportedTypeCode) : state_.motorType;
    return {state_.connected, linkChanges_, type, state_.firmware};
}

class MotorSession::LoadUnderWay {
public:
    explicit LoadUnderWay(MotorSession& session) : session_(session) { ++session_.loadsUnderWay_; }
    ~LoadUnderWay()
    {
        if (--session_.loadsUnderWay_ == 0)
            session_.OpenWaitingFilesLater();
    }
    LoadUnderWay(const LoadUnderWay&) = delete;
    LoadUnderWay& operator=(const LoadUnderWay&) = delete;

private:
    MotorSession& session_;
};

void MotorSession::OpenWaitingFiles()
{
    // A load under way or a dialog or box of the view holds them: the file
    // must not change what the window shows while something is being asked
    // or chosen (the pages that Save As is about to write, say).
    if (filesWaiting_.empty() || windowClosing_ || loadsUnderWay_ > 0 || view_.ModalWindowOpen())
        return;
    const QString name = filesWaiting_.front();
    filesWaiting_.erase(filesWaiting_.begin());
    OpenHandedOverFile(name);
}

void MotorSession::OpenWaitingFilesLater()
{
    // A UM_OPENFILE without a path: the first file that waits, from the event
    // loop, so that the work that the closing box or load was part of ends first.
    // One on its way is enough, however many windows closed meanwhile.
    if (!filesWaiting_.empty() && !windowClosing_ && !openPosted_) {
        openPosted_ = true;
        PostMessage(Notify(), UM_OPENFILE, 0, 0);
    }
}

void MotorSession::ModalWindowClosed() { OpenWaitingFilesLater(); }

void MotorSession::WindowClosing()
{
    windowClosing_ = true;
    filesWaiting_.clear();
}

void MotorSession::RefuseSetupFile(const QString& name, const QString& why)
{
    // The file's name follows on a line of its own, where no name can be
    // taken for markup by the message box.
    prompts.error(QStringLiteral("An error occured reading the setup file\n") + name + why, QStringLiteral("Error"));
}

void MotorSession::RefuseFileName(const QString& name)
{
    RefuseSetupFile(name, QStringLiteral("\nError: The file name is not valid UTF-8: Quenor cannot open a file by "
                                         "such a name."));
}

void MotorSession::LoadSetupFile(const QString& name)
{
    const LoadUnderWay underWay(*this);
    LoadSetupFile(name, BeginLoad());
}

void MotorSession::LoadSetupFile(const QString& name, LoadStart start)
{
    // The boxes (and the question or the file dialog before the load) let
    // the link come and go: the writes go to the motor the load began with,
    // or to none.
    const bool toMotor = start.toMotor;
    // Shown offline: begun without a motor, and none has come since.
    const bool offline = !toMotor && !state_.connected;
    // While the writes of an earlier load are still on their way, this
    // load's writes are followed with them, and the progress counts on: a
    // link lost then lists what of either did not arrive.
    const bool earlierUnderWay = PendingLoadUnderWay();
    if (!earlierUnderWay)
        com_->ClearWriteProgress();
    // The motor went (or another came) since the load began (the boxes below
    // let it, too): nothing of the file is written, and what it would have
    // written is judged against the motor the load began with.
    const auto linkChanged = [&] { return linkChanges_ != start.linkChanges && (toMotor || state_.connected); };
    const bool judgeByStart = toMotor && linkChanged();
    const auto finish = [this] { com_->StartWriteProgress("Transfering"); };
    const auto refuse = [&](const QString& why = QString()) {
        RefuseSetupFile(name, why);
        finish();
    };

    ReadFault fault = ReadFault::None;
    const std::optional<std::string> text = ReadWholeFile(PathBytes(name), kSetupFileMaxBytes, &fault);
    if (!text)
        return refuse(ReadFaultText(fault));
    const std::vector<std::string> lines = SplitTextLines(*text);
    const SetupHeader header = ScanSetupHeader(lines);
    if (header.malformed)
        return refuse();

    // Everything that will be applied is checked before anything is, so that
    // the pages never show half a file and no value is cut to fit. A file
    // without its marker applies no parameter, so its values are not looked at.
    // A motor of unknown type is compared by the code it reported: no file's
    // filter is taken for it but one made for that very code.
    const int motorType = judgeByStart                          ? start.motorType
                          : !offline && state_.motorTypeUnknown ? static_cast<int>(state_.reportedTypeCode)
                                                                : state_.motorType;
    const int firmware = judgeByStart ? start.firmware : state_.firmware;
    const int targetType = offline ? OfflineTypeOfFile(header) : motorType;
    const int targetGeneration = offline ? GenerationOfType(targetType) : generation_;
    const bool willApply =
        header.valid && !DecideSetupLoad(!offline, targetGeneration, targetType, firmware, header).incompatible;
    if (willApply && !SetupValuesFit(lines, targetGeneration))
        return refuse();

    // Offline the pages change to the file's type whatever the file holds;
    // a file without its marker only keeps its parameters to itself.
    const int typeBefore = state_.motorType;
    if (offline)
        SetMotorType(OfflineTypeOfFile(header));
    const SetupLoadDecision decision =
        DecideSetupLoad(!offline, generation_, offline ? state_.motorType : motorType, firmware, header);
    for (const Notice& n : SetupLoadNotices(decision))
        prompts.loadInformation(FromCp1252(n.text), FromCp1252(n.caption));

    // The program goes to the editor whatever becomes of the parameters; the
    // editor may ask before it replaces its own.
    bool programKept = true;    // false: the editor kept its own, or the line did not read
    bool programTaken = false;  // the editor holds the file's program now
    for (const auto& line : lines) {
        const auto entry = SplitSetupEntry(line);
        if (!entry || entry->key != kProgramKey)
            continue;
        const std::size_t p = line.find('=');
        std::string hex = line.substr(p + 1);
        while (!hex.empty() && (hex.front() == ' ' || hex.front() == '\t'))
            hex.erase(hex.begin());
        while (!hex.empty() && (hex.back() == ' ' || hex.back() == '\t'))
            hex.pop_back();
        try {
            const HexBytes stream = StreamFromHexText(hex);
            if (stream.size() > 3) {
                if (vizu_->LoadProgramFromStream(stream))
                    programTaken = true;
                else
                    programKept = false;
            }
        } catch (const HexDataError& e) {
            programKept = false;
            prompts.error(QStringLiteral("Error: ") + FromCp1252(e.what()), QStringLiteral("Error"));
        }
    }

    // What the file gives the controls shown (each control that takes a
    // line, once per line, in the order of the file), the registers loaded
    // and each parameter applied once.
    const bool apply = header.valid && !decision.incompatible;
    std::vector<std::pair<CParamControl*, std::string>> takes;
    std::array<bool, kRegisterSlots> loaded{};
    std::vector<LoadedParameter> applied;
    if (apply) {
        for (const auto& line : lines) {
            const auto entry = SplitSetupEntry(line);
            if (!entry)
                continue;
            for (const auto& c : controls_) {
                if (!TakesSetupLine(*c) || !SetupKeyMatches(entry->key, c->Caption()))
                    continue;
                const int reg = c->Register();
                if (decision.wrongType && IsFilterRegister(generation_, reg))
                    continue;
                takes.emplace_back(c.get(), entry->value);
                if (reg >= 0 && reg < kRegisterSlots) {
                    loaded[static_cast<std::size_t>(reg)] = true;
                    // Several controls may carry one register, and a caption
                    // may stand on several lines or pages.
                    const LoadedParameter p{c->Caption(), reg};
                    if (std::find(applied.begin(), applied.end(), p) == applied.end())
                        applied.push_back(p);
                }
            }
        }
    }
    const std::vector<int> order = SetupWriteOrder(loaded);
    // The writes to the motor, followed until it has them all (active), or
    // only listed. Returns where this load's writes begin in the pending load.
    std::size_t parametersBefore = 0;
    const auto followLoad = [&](bool active) {
        if (!earlierUnderWay || !pendingLoad_.active) {
            EndPendingLoad(false);
            pendingLoad_.writes.clear();
            pendingLoad_.parameters.clear();
        }
        const std::size_t first = pendingLoad_.writes.size();
        parametersBefore = pendingLoad_.parameters.size();
        pendingLoad_.writes.push_back({regs::MODE_REG, 0});
        for (int reg : order)
            pendingLoad_.writes.push_back({reg, 0});
        // A register that another load writes again carries this load's
        // value of a parameter only when that load applied it too.
        for (const LoadedParameter& p : applied) {
            const auto at = std::find(order.begin(), order.end(), p.reg);
            pendingLoad_.parameters.push_back(
                {p.caption, at == order.end() ? SIZE_MAX : first + 1 + static_cast<std::size_t>(at - order.begin())});
        }
        pendingLoad_.active = active;
        return first;
    };

    if (linkChanged()) {
        // Nothing of the file is written or shown, and the pages show the
        // motor again once it answers.
        if (toMotor) {
            followLoad(false);
            ReportLoadCutOff();
        } else if (apply) {
            prompts.loadInformation(QStringLiteral("A motor was connected while the file was loaded.\n"
                                                   "No parameter of the file was transferred to it.\n\n"
                                                   "Open the file again to transfer it to the motor."),
                                    QStringLiteral("Parameter transfer"));
        }
        if (state_.connected)
            RequestAllRegisters();
        // The editor holds the file's program without the file's values:
        // Save must not write it over the file named before.
        if (programTaken)
            SetFileName(QStringLiteral("Noname"));
        return finish();
    }
    // The window names the file only when the load took all of it, so that
    // Save writes it back as it was. A load that withheld part of it keeps
    // the file shown before while the pages and the editor show what they
    // did; once they show something else (another type offline, the file's
    // values without its program, its program without its values), the
    // window has no file and Save asks for one. A file of another motor type
    // whose filter stayed out is named once its parameters went out.
    const auto nameWindow = [&](bool withheld, bool pagesChanged) {
        if (!withheld)
            SetFileName(name);
        else if (pagesChanged)
            SetFileName(QStringLiteral("Noname"));
    };
    // A file that applies nothing writes nothing, not even the mode.
    if (applied.empty()) {
        nameWindow(!apply || decision.wrongType || !programKept, state_.motorType != typeBefore || programTaken);
        return finish();
    }

    // Each write's ticket goes into the pending load as the write is queued,
    // before anything can wait in a box.
    std::optional<std::size_t> first;
    if (toMotor)
        first = followLoad(true);
    else
        EndPendingLoad(false);
    const auto ticketOf = [&](std::size_t i) -> std::uint64_t* {
        return first && *first + i < pendingLoad_.writes.size() ? &pendingLoad_.writes[*first + i].ticket : nullptr;
    };
    writeRefused_ = false;
    bool wrote = false;
    Guarded([&] {
        // The mode write goes first: when the link turns out to be down, the
        // pages keep showing the motor.
        wrote = Write(regs::MODE_REG, 0, 2, address_, ticketOf(0));
        if (!wrote)
            return;
        FilterConverter converter;
        for (const auto& [c, value] : takes) {
            c->ParseSetupValue(value);
            const int reg = c->Register();
            if (decision.convertFilter && ((reg >= 97 && reg <= 100) || (reg >= 102 && reg <= 105)))
                c->SetValue(converter.Apply(reg, c->GetValue()));
        }
        for (std::size_t i = 0; i < order.size(); ++i) {
            ChangeRegister(order[i], 0, ticketOf(1 + i));
            if (writeRefused_)
                break;
        }
    });
    if (writeRefused_)
        EndPendingLoad(true);
    else if (!wrote && first) {
        // The request ring was full: nothing of the file went out, and the
        // user was told. An earlier load still under way stays followed.
        pendingLoad_.writes.resize(*first);
        pendingLoad_.parameters.resize(parametersBefore);
        pendingLoad_.active = !pendingLoad_.writes.empty();
    }
    nameWindow(!wrote || writeRefused_ || !programKept, offline || wrote);
    finish();
}

void MotorSession::EndPendingLoad(bool lost)
{
    if (!pendingLoad_.active)
        return;
    pendingLoad_.active = false;
    if (lost)
        ReportLoadCutOff();
}

bool MotorSession::PendingLoadUnderWay() const
{
    if (!pendingLoad_.active)
        return false;
    const std::uint64_t acknowledged = com_->LastAcknowledged();
    return std::any_of(pendingLoad_.writes.begin(), pendingLoad_.writes.end(),
                       [&](const PendingLoad::Entry& w) { return w.ticket > acknowledged; });
}

void MotorSession::ReportLoadCutOff()
{
    // The motor acknowledges writes in the order they were queued: a write
    // arrived when its ticket is not after the last acknowledged one. The
    // last write the motor took may have lost its acknowledgement on the
    // way: it counts as not written, the safe side.
    const std::uint64_t acknowledged = com_->LastAcknowledged();
    const auto arrived = [&](std::size_t i) {
        if (i >= pendingLoad_.writes.size())  // no write of its own: not written
            return false;
        const std::uint64_t ticket = pendingLoad_.writes[i].ticket;
        return ticket != 0 && ticket <= acknowledged;
    };
    // Each name once, in the order of the files.
    std::set<std::string> named;
    std::string list;
    for (const PendingLoad::Parameter& p : pendingLoad_.parameters)
        if (!arrived(p.write) && named.insert(p.caption).second)
            list += "\n" + p.caption;
    statusBar_.ClearProgress();
    view_.ProgressChanged();
    if (list.empty())
        return;
    // The list is the last box of its load.
    const LoadUnderWay underWay(*this);
    prompts.loadInformation(
        QStringLiteral("The connection to the motor was lost while the file was loaded.\n"
                       "These parameters were not written to the motor:") +
            FromCp1252(list) + QStringLiteral("\n\nLoad the file again when the motor answers."),
        QStringLiteral("Parameter transfer"));
}

void MotorSession::OpenSetupFile()
{
    // The load counts from the moment the dialog opens.
    const LoadUnderWay underWay(*this);
    const LoadStart start = BeginLoad();
    const QString name = prompts.openFileName();
    if (name.isEmpty())
        return;
    // The file chosen joins the recent files before it is read, unless it
    // cannot be read at all: the load then says why, and the list keeps
    // only files that could be opened again.
    if (CheckReadableFile(PathBytes(name), kSetupFileMaxBytes) == ReadFault::None)
        AddRecentFile(name);
    LoadSetupFile(name, start);
}

void MotorSession::OnOpenFileRequest(const QString& name)
{
    // One queue: a file that comes while others wait goes after them.
    if (windowClosing_)
        return;
    filesWaiting_.push_back(name);
    OpenWaitingFiles();
}

void MotorSession::OpenHandedOverFile(const QString& name)
{
    const LoadUnderWay underWay(*this);
    const QFileInfo info(name);
    const QString path = info.exists() ? info.absoluteFilePath() : name;
    // Nothing is asked about a path that cannot be a setup file, and nothing
    // waits for it (a named pipe).
    if (const ReadFault fault = CheckReadableFile(PathBytes(path), kSetupFileMaxBytes); fault != ReadFault::None)
        return RefuseSetupFile(path, ReadFaultText(fault));
    // The load counts from the moment the question is asked.
    const LoadStart start = BeginLoad();
    if (state_.connected &&
        !prompts.askYesNo(QStringLiteral("The parameters in file\n") + path +
                              QStringLiteral("\nWill be transferred to the motor\nAre you sure you want this?"),
                          QStringLiteral("Parameter transfer")))
        return;
    LoadSetupFile(path, start);
}

}  // namespace quenor
