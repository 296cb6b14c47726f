// Setup files of the main window: saving the pages and the program, loading
// them with the compatibility rules, and every way a file comes in (menu,
// tool bar, recent files, a dropped file, the command line, a second start).

#include "app/loadsave.h"
#include "app/motortypes.h"
#include "app/setupfile.h"
#include "app/ui/quenormain.h"
#include "params/parameterlists.h"
#include "params/paramfactory.h"
#include "params/paramkinds.h"
#include "params/paramvalue.h"
#include "platform/cp1252.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>

#include <set>

namespace quenor {
namespace {

std::string PathBytes(const QString& name) { return QFile::encodeName(name).toStdString(); }

bool RowTakesSetupLine(const InitParam* row) { return KindTakesSetupLine(row[0].i, row[7].i); }

std::string Lowered(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The captions of the controls of a family that take a line from a file.
std::set<std::string> TakerCaptions(int generation)
{
    std::set<std::string> out;
    const ParamTableSet* set = TableSetOfFamily(generation);
    if (!set)
        return out;
    for (const ParamTable* t : {set->main, set->extra, set->status})
        for (int r = 0; r < t->RowCount(); ++r)
            if (RowTakesSetupLine(t->Row(r)))
                out.insert(Lowered(t->Cell(r, 2).text));
    return out;
}

}  // namespace

bool TfrmQuenor::TakesSetupLine(const CParamControl& c) const
{
    const auto* edit = dynamic_cast<const CParamControlEdit*>(&c);
    return KindTakesSetupLine(c.Kind(), edit && edit->Editable() ? efEditable : 0);
}

std::int32_t TfrmQuenor::CombinedValue(int reg) const
{
    if (reg < 0 || reg >= kRegisterSlots)
        return 0;
    std::uint32_t combined = 0;
    const CParamControl* winner = nullptr;
    for (const CParamControl* c : registerLists_[static_cast<std::size_t>(reg)]) {
        combined |= static_cast<std::uint32_t>(c->GetValue());
        if (c->Changed())
            winner = c;
    }
    if (winner)
        combined = (combined & ~winner->ValueMask()) | static_cast<std::uint32_t>(winner->GetValue());
    return static_cast<std::int32_t>(combined);
}

std::vector<std::string> TfrmQuenor::BuildSetupLines() const
{
    const int filterType = FilterTypeOfValues(generation_, CombinedValue(102), CombinedValue(103),
                                              CombinedValue(104), CombinedValue(105));
    std::vector<std::string> lines = SetupHeaderLines(state_.motorType, generation_, filterType);
    for (const auto& c : controls_) {
        std::string line = c->GetSetupLine();
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}

bool TfrmQuenor::SaveSetupFile(const QString& name)
{
    std::vector<std::string> lines = BuildSetupLines();
    const bool wasModified = vizu_->Modified();
    const std::vector<std::uint8_t> program = vizu_->SaveProgramToStream();
    if (!program.empty())
        lines.push_back(ProgramLine(HexTextFromStream(program)));
    std::string error;
    if (!WriteWholeFile(PathBytes(name), JoinTextLines(lines), &error)) {
        // The program is still not saved anywhere: closing must still ask.
        vizu_->SetModified(wasModified);
        prompts.error(QStringLiteral("Error saving the file <%1>").arg(name), QStringLiteral("Save error!"));
        return false;
    }
    vizu_->SetModified(false);
    SetFileCaption(name);
    AddRecentFile(name);
    return true;
}

void TfrmQuenor::LoadSetupFile(const QString& name)
{
    com_->ClearWriteProgress();
    std::array<bool, kRegisterSlots> loaded{};
    const auto finish = [this] { com_->StartWriteProgress("Transfering"); };

    const std::optional<std::string> text = ReadWholeFile(PathBytes(name));
    if (!text) {
        prompts.error(QStringLiteral("An error occured reading the setup file"), QStringLiteral("Error"));
        finish();
        return;
    }
    const std::vector<std::string> lines = SplitTextLines(*text);
    const SetupHeader header = ScanSetupHeader(lines);

    // Everything is checked before anything is applied, so that the pages
    // never show half a file.
    const int targetGeneration =
        state_.connected ? generation_ : GenerationOfType(SelectableMotorType(header.motorType));
    bool bad = header.malformed;
    if (!bad) {
        const std::set<std::string> takers = TakerCaptions(targetGeneration);
        for (const auto& line : lines) {
            const auto entry = SplitSetupEntry(line);
            if (!entry || entry->key == kProgramKey || !takers.count(Lowered(entry->key)))
                continue;
            try {
                ParseSetupInteger(entry->value);
            } catch (const SetupValueError&) {
                bad = true;
                break;
            }
        }
    }
    if (bad) {
        prompts.error(QStringLiteral("An error occured reading the setup file"), QStringLiteral("Error"));
        finish();
        return;
    }

    if (!state_.connected)
        SetMotorType(header.motorType);
    const SetupLoadDecision decision =
        DecideSetupLoad(state_.connected, generation_, state_.motorType, state_.firmware, header);
    for (const Notice& n : SetupLoadNotices(decision))
        prompts.loadInformation(FromCp1252(n.text), FromCp1252(n.caption));

    const bool apply = header.valid && !decision.incompatible;
    FilterConverter converter;
    for (const auto& line : lines) {
        const auto entry = SplitSetupEntry(line);
        if (!entry)
            continue;
        if (apply) {
            for (const auto& c : controls_) {
                if (!TakesSetupLine(*c) || !SetupKeyMatches(entry->key, c->Caption()))
                    continue;
                const int reg = c->Register();
                if (decision.wrongType && IsFilterRegister(generation_, reg))
                    continue;
                c->ParseSetupValue(entry->value);
                if (decision.convertFilter && ((reg >= 97 && reg <= 100) || (reg >= 102 && reg <= 105)))
                    c->SetValue(converter.Apply(reg, c->GetValue()));
                if (reg >= 0 && reg < kRegisterSlots)
                    loaded[static_cast<std::size_t>(reg)] = true;
            }
        }
        if (entry->key == kProgramKey) {
            const std::size_t p = line.find('=');
            std::string hex = line.substr(p + 1);
            while (!hex.empty() && (hex.front() == ' ' || hex.front() == '\t'))
                hex.erase(hex.begin());
            while (!hex.empty() && (hex.back() == ' ' || hex.back() == '\t'))
                hex.pop_back();
            try {
                const HexBytes stream = StreamFromHexText(hex);
                if (stream.size() > 3)
                    vizu_->LoadProgramFromStream(stream);
            } catch (const HexDataError& e) {
                prompts.error(QStringLiteral("Error: ") + FromCp1252(e.what()), QStringLiteral("Error"));
            }
        }
    }

    if (apply) {
        Guarded([&] {
            com_->RequestWrite(address_, 2, 0, 2);
            for (int reg : SetupWriteOrder(loaded))
                OnControlChanged(reg, 0);
        });
    }
    SetFileCaption(name);
    finish();
}

void TfrmQuenor::OpenClick()
{
    const QString name = prompts.openFileName();
    if (name.isEmpty())
        return;
    AddRecentFile(name);
    LoadSetupFile(name);
}

void TfrmQuenor::SaveClick()
{
    if (fileName_ == QStringLiteral("Noname"))
        SaveAsClick();
    else
        SaveSetupFile(fileName_);
}

void TfrmQuenor::SaveAsClick()
{
    const QString name = prompts.saveFileName();
    if (!name.isEmpty())
        SaveSetupFile(name);
}

void TfrmQuenor::OnOpenFileRequest(const QString& name)
{
    const QString path = QFileInfo(name).exists() ? QFileInfo(name).absoluteFilePath() : name;
    if (state_.connected &&
        !prompts.askYesNo(QStringLiteral("The parameters in file\n") + path +
                              QStringLiteral("\nWill be transferred to the motor\nAre you sure you want this?"),
                          QStringLiteral("Parameter transfer")))
        return;
    LoadSetupFile(path);
}

void TfrmQuenor::AddRecentFile(const QString& name)
{
    quenor::AddRecentFile(settings_.recentFiles, name);
    RebuildRecentMenu();
}

void TfrmQuenor::RebuildRecentMenu()
{
    if (!recentMenu_)
        return;
    recentMenu_->clear();
    int n = 0;
    for (const QString& name : settings_.recentFiles) {
        QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(++n).arg(name));
        connect(a, &QAction::triggered, this, [this, name] { LoadSetupFile(name); });
    }
    recentMenu_->setEnabled(!settings_.recentFiles.empty());
    // With recent files the tool bar's Open gets them as its drop-down.
    if (auto* button = qobject_cast<QToolButton*>(tbxToolbar_ ? tbxToolbar_->widgetForAction(tbOpen_) : nullptr)) {
        button->setMenu(settings_.recentFiles.empty() ? nullptr : recentMenu_);
        button->setPopupMode(settings_.recentFiles.empty() ? QToolButton::DelayedPopup : QToolButton::MenuButtonPopup);
    }
}

void TfrmQuenor::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TfrmQuenor::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return;
    const QString name = urls.front().toLocalFile();
    if (IsSetupFileName(PathBytes(name)))
        LoadSetupFile(name);
}

}  // namespace quenor
