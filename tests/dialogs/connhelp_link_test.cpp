// The connection help's firmware reload against the simulated motor: the link
// is handed over (stop frame, port closed) while the firmware dialog is up and
// taken back (resume frame, connected again) when it closes.

#include "app/connhelp.h"
#include "link/linkfixture.h"

#include <fcntl.h>
#include <unistd.h>

using namespace quenor;
using namespace quenor::linktest;

namespace {

class ConnHelpLink : public LinkTest {};

}  // namespace

TEST_F(ConnHelpLink, ReloadButtonsHandTheLinkToTheFirmwareDialogAndBack)
{
    Connect();
    for (const auto& [button, generation] : {std::pair{kConnHelpLoadSmall, 0}, std::pair{kConnHelpLoadLarge, 1}}) {
        SCOPED_TRACE(button);
        target.Clear();
        sim.ClearLog();
        std::vector<FirmwareUpdateSetup> shown;
        const FirmwareUpdateIo io{
            [this](bool stop) { link->SuspendLink(stop); }, [this](bool resume) { link->ResumeLink(resume); },
            // A stand-in of the firmware dialog: it checks that it owns the port.
            [&](const FirmwareUpdateSetup& setup) {
                shown.push_back(setup);
                EXPECT_TRUE(sim.WaitForRequests(0x54, 1, 10s)) << "the motor is stopped before the loader runs";
                EXPECT_FALSE(link->Port().IsOpen());
                const int fd = ::open(sim.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                EXPECT_GE(fd, 0) << "the loader can open the port";
                if (fd >= 0)
                    ::close(fd);
                EXPECT_EQ(sim.CountRequests(0x55), 0);
            }};
        const ConnHelpOutcome out = RunConnectionHelp(
            {false, true, 0, 4}, [button](bool&) { return button; }, io);
        EXPECT_TRUE(out.firmwareShown);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].generation, generation);
        EXPECT_TRUE(shown[0].autoStart);
        EXPECT_TRUE(shown[0].connected);
        EXPECT_EQ(shown[0].portIndex, 4);
        EXPECT_TRUE(sim.WaitForRequests(0x55, 1, 10s)) << "the motor is told to resume";
        EXPECT_TRUE(target.WaitForMessage(UM_LINKSTATE, 2, 10s)) << "and the link connects again";
        EXPECT_EQ(sim.CountRequests(0x54), 1);
    }
}
