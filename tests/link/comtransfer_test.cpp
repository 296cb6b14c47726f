// Program download and upload against the simulated programmable module.

#include "tests/link/linkfixture.h"

using namespace quenor;
using namespace quenor::linktest;

namespace {

class TransferTest : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        sim.SetModuleType(4);
    }
    static Bytes Image(int length)
    {
        Bytes image(static_cast<std::size_t>(length));
        for (int i = 0; i < length; ++i)
            image[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i * 31 + 7) ^ (i >> 8));
        image[0] = static_cast<std::uint8_t>(length & 0xFF);
        image[1] = static_cast<std::uint8_t>(length >> 8);
        return image;
    }
    Message Uploaded()
    {
        EXPECT_TRUE(target.WaitForMessage(UM_PROGRAMUPLOADED, 10s));
        const std::vector<Message> m = Of(UM_PROGRAMUPLOADED);
        return m.empty() ? Message{} : m.back();
    }
};

}  // namespace

TEST_F(TransferTest, DownloadAndUploadOf300Bytes)
{
    Connect();
    const Bytes image = Image(300);
    ASSERT_TRUE(link->RequestProgramDownload(image));
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        int n = 0;
        for (const Message& m : ms)
            n += m.msg == UM_PROGRESS && m.text == "Transferring program" && m.wParam == 100;
        return n >= 2;
    }, 5s));
    EXPECT_EQ(Progress("Transferring program"), (std::vector<std::int64_t>{42, 85, 100, 100}));
    const std::vector<Bytes> blocks = Sent(0x62);
    ASSERT_EQ(blocks.size(), 3u);
    const std::size_t sizes[] = {128, 128, 44};
    for (std::size_t b = 0; b < 3; ++b) {
        EXPECT_EQ(blocks[b][0], sizes[b] + 1);
        EXPECT_EQ(blocks[b][1], b);
        EXPECT_EQ(Bytes(blocks[b].begin() + 2, blocks[b].end()),
                  Bytes(image.begin() + static_cast<std::ptrdiff_t>(128 * b),
                        image.begin() + static_cast<std::ptrdiff_t>(128 * b + sizes[b])));
    }

    ASSERT_TRUE(link->RequestProgramUpload());
    const Message up = Uploaded();
    EXPECT_TRUE(up.hasData);
    EXPECT_EQ(up.lParam, 300);
    EXPECT_EQ(up.data, image);
    EXPECT_EQ(Progress("Uploading program"), (std::vector<std::int64_t>{0, 42, 85, 100}));
    EXPECT_EQ(Sent(0x63), (std::vector<Bytes>{{3, 2, 0, 0}, {3, 128, 0, 0}, {3, 128, 128, 0}, {3, 44, 0, 1}}));
}

TEST_F(TransferTest, RoundTripOf4096Bytes)
{
    Connect();
    const Bytes image = Image(4096);
    ASSERT_TRUE(link->RequestProgramDownload(image));
    ASSERT_TRUE(link->RequestProgramUpload());
    const Message up = Uploaded();
    EXPECT_EQ(up.lParam, 4096);
    EXPECT_EQ(up.data, image);
    EXPECT_EQ(Sent(0x62).size(), 32u);
    EXPECT_EQ(Sent(0x63).size(), 33u);  // the length, then 32 blocks from offset 0
    EXPECT_EQ(Sent(0x63)[1], (Bytes{3, 128, 0, 0}));
}

TEST_F(TransferTest, UploadRefusesLengthsOutsideFiveTo4096)
{
    Connect();
    for (int length : {0, 4, 4097, 0xFFFF}) {
        SCOPED_TRACE(length);
        Bytes memory(8192, 0x11);
        memory[0] = static_cast<std::uint8_t>(length & 0xFF);
        memory[1] = static_cast<std::uint8_t>(length >> 8);
        sim.SetProgramMemory(memory);
        target.Clear();
        sim.ClearLog();
        ASSERT_TRUE(link->RequestProgramUpload());
        const Message up = Uploaded();
        EXPECT_FALSE(up.hasData);
        EXPECT_EQ(up.lParam, length);
        EXPECT_EQ(sim.CountRequests(0x63), 1);
    }
    sim.SetProgramMemory(Image(5));
    target.Clear();
    ASSERT_TRUE(link->RequestProgramUpload());
    EXPECT_EQ(Uploaded().data, Image(5));
}

TEST_F(TransferTest, UploadKeepsOnlyTheBytesAskedFor)
{
    Connect();
    const Bytes image = Image(200);
    sim.SetProgramMemory(image);
    sim.SetUploadExtraBytes(7);  // the module sends more than asked
    ASSERT_TRUE(link->RequestProgramUpload());
    const Message up = Uploaded();
    EXPECT_EQ(up.lParam, 200);
    EXPECT_EQ(up.data, image);
}

TEST_F(TransferTest, AShortBlockFailsTheUploadInsteadOfLeavingAHole)
{
    // The module answers the second block with fewer bytes than asked the
    // first time: that block must not come back as a program with zeros in
    // it; the upload runs again and brings the whole program.
    Connect();
    const Bytes image = Image(300);
    auto shortened = std::make_shared<std::atomic<int>>(0);
    sim.SetHandler(0x63, [image, shortened](motorsim::MotorSim&, const motorsim::SimFrame& f) {
        const int count = f.fields[2];
        const int offset = f.fields[3] | (f.fields[4] << 8);
        int n = count;
        if (offset == 128 && shortened->fetch_add(1) == 0)
            n = 100;
        std::vector<std::uint8_t> fields{0, static_cast<std::uint8_t>(n)};
        for (int i = 0; i < n; ++i)
            fields.push_back(image[static_cast<std::size_t>(offset + i)]);
        return motorsim::MotorSim::Reply(0x63, fields);
    });
    ASSERT_TRUE(link->RequestProgramUpload());
    const Message up = Uploaded();
    EXPECT_EQ(up.lParam, 300);
    EXPECT_EQ(up.data, image);
    EXPECT_EQ(Of(UM_PROGRAMUPLOADED).size(), 1u);
    bool counted = false;  // the short block counted as a failed job
    for (const Message& m : Of(UM_LINKSTATE))
        counted = counted || (m.wParam == 8 && m.lParam == 1);
    EXPECT_TRUE(counted);
}

TEST_F(TransferTest, FailedBlockRestartsTheDownloadFromBlockZero)
{
    Connect();
    const Bytes image = Image(300);
    // Shared with the simulator's thread, which keeps the handler beyond this body.
    auto seen = std::make_shared<std::atomic<int>>(0);
    sim.SetHandler(0x62, [seen](motorsim::MotorSim& m, const motorsim::SimFrame& f) {
        // The second block is not acknowledged the first time.
        if (f.fields[2] == 1 && seen->fetch_add(1) == 0)
            return std::vector<std::uint8_t>{0x11, 0x12, 0x11};
        (void)m;
        return motorsim::MotorSim::Ack();
    });
    ASSERT_TRUE(link->RequestProgramDownload(image));
    ASSERT_TRUE(target.WaitFor([](const auto& ms) {
        int n = 0;
        for (const Message& m : ms)
            n += m.msg == UM_PROGRESS && m.text == "Transferring program" && m.wParam == 100;
        return n >= 2;
    }, 5s));
    std::vector<int> numbers;
    for (const Bytes& b : Sent(0x62))
        numbers.push_back(b[1]);
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 0, 1, 2}));
}

TEST_F(TransferTest, TransfersWaitForTheLink)
{
    link = std::make_unique<ComThread>(&target, 0, FastTimings());
    EXPECT_FALSE(link->RequestProgramDownload(Image(10)));
    EXPECT_FALSE(link->RequestProgramUpload());
}
