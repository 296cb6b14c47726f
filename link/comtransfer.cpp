// Program transfer between the program editor and the programmable module:
// the download writes the image in blocks of 128 bytes, the upload reads it
// back. The image's first two bytes are its total length, little endian.

#include "link/comthread.h"

#include <algorithm>

namespace quenor {

namespace {

enum : std::uint8_t {
    CMD_PROGRAM_DOWNLOAD = 0x62,
    CMD_PROGRAM_UPLOAD = 0x63,
};

constexpr int kBlock = 128;

}  // namespace

bool ComThread::RequestProgramDownload(std::span<const std::uint8_t> image)
{
    ComRequest r;
    r.handler = &ComThread::DoProgramDownload;
    r.data.assign(image.begin(), image.end());  // the job's own copy
    return QueueIfLinked(std::move(r));
}

bool ComThread::RequestProgramUpload()
{
    ComRequest r;
    r.handler = &ComThread::DoProgramUpload;
    return QueueIfLinked(std::move(r));
}

void ComThread::DoProgramDownload(ComThread& t, ComRequest& job)
{
    // The job stays in the ring while it runs and is retried from block 0, so
    // the copy is kept until the job is done (the ring frees it then).
    const std::vector<std::uint8_t>& image = job.data;
    const int length = static_cast<int>(image.size());
    int remaining = length;
    int block = 0;
    while (remaining > 0) {
        const int n = std::min(kBlock, remaining);
        t.frames_.SendCommand(CMD_PROGRAM_DOWNLOAD);
        t.frames_.SendByte(t.Address());
        t.frames_.SendByte(static_cast<std::uint8_t>(n + 1));
        t.frames_.SendByte(static_cast<std::uint8_t>(block));
        for (int i = 0; i < n; ++i)
            t.frames_.SendByte(image[static_cast<std::size_t>(kBlock * block + i)]);
        t.frames_.SendFrameEnd();
        t.port_.Receive(3);
        t.frames_.ReceiveAck();
        remaining -= n;
        ++block;
        PostText(t.notify_, UM_PROGRESS, static_cast<std::int64_t>(length - remaining) * 100 / length, 0,
                 "Transferring program");
        t.MarkAlive();
        t.Sleep(t.timings_.downloadBlockMs);
    }
    PostText(t.notify_, UM_PROGRESS, 100, 0, "Transferring program");
}

int ComThread::ReadProgramBlock(std::uint8_t* dst, int offset, int count)
{
    frames_.SendFrame(CMD_PROGRAM_UPLOAD, {Address(), 3, static_cast<std::uint8_t>(count),
                                           static_cast<std::uint8_t>(offset & 0xFF),
                                           static_cast<std::uint8_t>((offset >> 8) & 0xFF)});
    port_.Receive(3 + 2 + 2);
    frames_.ReceiveExpected(CMD_PROGRAM_UPLOAD);
    frames_.ReceiveExpected(CMD_PROGRAM_UPLOAD);
    frames_.ReceiveExpected(CMD_PROGRAM_UPLOAD);
    if (frames_.ReceiveByte() != 0)
        throw ComIntException{1};
    const int length = frames_.ReceiveByte();
    // Bytes beyond the count asked for are read but not stored; a short
    // reply leaves zeros, and the caller learns how many came.
    ReceiveFieldsBounded(length, std::span(dst, static_cast<std::size_t>(count)));
    frames_.ReceiveFrameEnd();
    return length;
}

void ComThread::DoProgramUpload(ComThread& t, ComRequest&)
{
    std::uint8_t head[2] = {0, 0};
    t.ReadProgramBlock(head, 0, 2);
    const int length = head[0] + 256 * head[1];
    if (length < 5 || length > kProgramMax) {
        PostMessage(t.notify_, UM_PROGRAMUPLOADED, 0, length);
        return;
    }
    std::vector<std::uint8_t> program(static_cast<std::size_t>(length), 0);
    int offset = 0;
    int remaining = length;
    while (remaining > 0) {
        PostText(t.notify_, UM_PROGRESS, static_cast<std::int64_t>(offset) * 100 / length, 0, "Uploading program");
        const int n = std::min(kBlock, remaining);
        // A block that comes back short would leave a hole of zeros in the
        // program: the job fails and the upload starts again.
        if (t.ReadProgramBlock(program.data() + offset, offset, n) < n)
            throw ComIntException{1};
        offset += n;
        remaining -= n;
        t.MarkAlive();
    }
    PostText(t.notify_, UM_PROGRESS, 100, 0, "Uploading program");
    PostData(t.notify_, UM_PROGRAMUPLOADED, 0, length, std::move(program));
}

}  // namespace quenor
