// The programmable module's side of the session: the editor's requests
// turned into module commands, its status and an uploaded program handed back.

#include "app/motorsession.h"

namespace quenor {

bool MotorSession::OnProgramCommand(int command, int a, int b)
{
    bool done = false;
    Guarded([&] {
        switch (command) {
        case 0: {
            com_->RequestProgramControl(2, 0, 0);
            // One image serves the length and the download: built twice, the
            // size questions would come twice and the two could differ.
            const std::vector<std::uint8_t> image = vizu_->BuildTransferImage();
            if (image.empty()) {
                prompts.error(QStringLiteral("Could not transfer the program"), QStringLiteral("Invalid program"));
                return;
            }
            if (generation_ == 2)
                com_->RequestProgramControl(7, static_cast<int>(image.size()), 0);
            done = com_->RequestProgramDownload(image);
            com_->RequestProgramControl(1, 0, 0);
            return;
        }
        case 1:
        case 5:
            com_->RequestProgramControl(1, 0, 0);
            break;
        case 2:
        case 3:
            com_->RequestProgramControl(command, 0, 0);
            break;
        case 4:
            com_->RequestProgramControl(4, a, b);
            break;
        case 6:
            com_->RequestProgramUpload();
            break;
        case 8:
            view_.ProgramPresent(a != 0);
            break;
        default:
            return;
        }
        done = true;
    });
    return done;
}

void MotorSession::OnProgramUploaded(const Message& m)
{
    if (m.hasData) {
        runControl_->ProgramMenuCommand(2, &m.data);
        return;
    }
    if (m.lParam != 0)
        prompts.warning(QStringLiteral("Sorry, the program data is corrupted"), QStringLiteral("Data error"));
    else
        prompts.warning(QStringLiteral("Sorry, no program in the memory"), QStringLiteral("No program"));
}

void MotorSession::OnSetOutput(std::int64_t bit, std::int64_t on)
{
    const std::uint32_t mask = 1u << (static_cast<std::uint32_t>(bit) & 31u);
    if (on != 0)
        com_->RequestProgramControl(5, static_cast<int>(mask), 0);
    else
        com_->RequestProgramControl(5, 0, static_cast<int>(mask));
}

}  // namespace quenor
