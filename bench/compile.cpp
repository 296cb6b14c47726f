// Code generation time of motion programs of 1,000 and 10,000 lines: a mix
// of moves, outputs, waits and jumps (near jumps that the linker shortens and
// far ones it keeps long), generated and linked as the editor does it, with
// no log.
//
//   bench_compile [runs]
//
// Prints for each program its lines, code bytes, jumps (and how many stayed
// long), a hash of the code (equal hashes mean byte-identical code, to compare
// one build with another) and the minimum and median time over the runs.

#include "platform/clock.h"
#include "program/graphicprogram.h"
#include "program/vizuoutput.h"
#include "program/vizuvalue.h"
#include "program/vizuware.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace quenor;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A relative move (kind 0, with wait) or an absolute one (kind 3), or a
// relative move that sets an output when in position (kind 2).
Bytes MoveCells(std::mt19937& rng)
{
    Bytes cells = NewCommandData(kCmdMove);
    const unsigned pick = rng() % 6;
    const std::uint8_t kind = pick < 3 ? 0 : (pick < 5 ? 3 : 2);
    cells[0] = static_cast<std::uint8_t>(kind | (kind == 2 ? 0 : 0x20));
    CellWriter w(cells, 1);
    const bool ramp = rng() % 3 == 0;
    PutTaggedValue(w, ramp ? 1 : 0, ramp ? 100.0 + rng() % 400 : 0.0);  // acceleration
    PutTaggedValue(w, ramp ? 1 : 0, ramp ? 50.0 + rng() % 200 : 0.0);   // velocity
    PutTaggedValue(w, 0, static_cast<double>(static_cast<int>(rng() % 200000) - 100000));  // distance
    if (kind == 2) {
        SOutputElement out;
        out.number = static_cast<std::uint8_t>(rng() % 8);
        out.mode = kOutputHigh;
        PutOutput(w, out);
    }
    return cells;
}

Bytes OutputCells(std::mt19937& rng)
{
    Bytes cells = NewCommandData(kCmdSetOutputs);
    SOutputElement out;
    const unsigned pick = rng() % 10;
    if (pick < 7) {  // one output low or high
        out.number = static_cast<std::uint8_t>(rng() % 8);
        out.mode = static_cast<std::uint8_t>(rng() % 2);
    } else if (pick < 9) {  // several at once
        out.kind = 1;
        out.levels = static_cast<std::uint8_t>(rng());
        out.mask = static_cast<std::uint8_t>(rng() | 1);
    } else {  // a pulse
        out.number = static_cast<std::uint8_t>(rng() % 8);
        out.mode = kOutputHighPulse;
        out.pulse.value = 10.0 + rng() % 500;
    }
    CellWriter w(cells);
    PutOutput(w, out);
    return cells;
}

void SetWait(CGraphicProgram& program, std::uint16_t line, std::mt19937& rng)
{
    if (rng() % 2 == 0) {  // a time
        Bytes cells = NewCommandData(kCmdWait);
        CellWriter w(cells);
        PutTaggedValue(w, 0, 5.0 + rng() % 5000);
        program.SetLine(line, kCmdWait, std::move(cells));
        return;
    }
    Bytes cells = NewCommandData(kCmdWaitInputs);  // one input: level or edge
    cells[1] = static_cast<std::uint8_t>((rng() % 8) << 2 | rng() % 4);
    program.SetLine(line, kCmdWaitInputs, std::move(cells));
}

void SetJump(CGraphicProgram& program, std::uint16_t line, std::uint16_t lines, std::mt19937& rng)
{
    // Mostly near (a few lines either way), some across the program.
    int target = rng() % 4 == 0 ? static_cast<int>(rng() % lines)
                                : static_cast<int>(line) + static_cast<int>(rng() % 41) - 20;
    target = std::clamp(target, 0, lines - 1);
    const bool conditional = rng() % 2 == 0;
    const std::uint8_t id = conditional ? kCmdConditionalJump : kCmdJump;
    Bytes cells = NewCommandData(id);
    CGraphicProgram::SetJumpTarget(cells, static_cast<std::uint16_t>(target));
    if (conditional)
        cells[3] = static_cast<std::uint8_t>((rng() % 8) << 2 | rng() % 2);  // input, condition
    program.SetLine(line, id, std::move(cells));
}

CGraphicProgram MakeProgram(std::uint16_t lines)
{
    CGraphicProgram program;
    program.SetType(kProgramAbsoluteRelative);
    program.ParameterList().SelectMotorKind(0);
    std::mt19937 rng(1234u + lines);
    for (std::uint16_t line = 0; line < lines; ++line) {
        const unsigned pick = rng() % 100;
        if (pick < 22)
            program.SetLine(line, kCmdMove, MoveCells(rng));
        else if (pick < 52)
            program.SetLine(line, kCmdSetOutputs, OutputCells(rng));
        else if (pick < 70)
            SetWait(program, line, rng);
        else if (pick < 95)
            SetJump(program, line, lines, rng);
        else
            program.SetRemark(line, "step " + std::to_string(line));
    }
    return program;
}

std::uint64_t Fnv1a(const Bytes& bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

// Returns false when the code could not be generated.
bool Run(std::uint16_t lines, int runs)
{
    const CGraphicProgram program = MakeProgram(lines);
    const ProgramSetupOptions options;
    std::vector<double> ms;
    std::size_t bytes = 0, jumps = 0, longJumps = 0;
    std::uint64_t hash = 0;
    for (int r = 0; r < runs + 1; ++r) {  // the first run warms up
        std::vector<std::string> messages;
        const std::int64_t t0 = MonotonicUs();
        const auto code = GenerateProgramCode(program, options, 0, messages, "");
        const std::int64_t t1 = MonotonicUs();
        if (!code || code->Failed() || !messages.empty()) {
            std::fprintf(stderr, "%u lines: no code (%s)\n", lines,
                         code ? code->ErrorText().c_str() : "wrong program type");
            return false;
        }
        const Bytes bytesOut = code->GetCode();
        bytes = bytesOut.size();
        hash = Fnv1a(bytesOut);
        jumps = longJumps = 0;
        for (const SCodeElement& element : code->Elements()) {
            jumps += element.jump;
            longJumps += element.jump && element.bytes.size() == 3;
        }
        if (r > 0)
            ms.push_back(static_cast<double>(t1 - t0) / 1000.0);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%6u lines  %6zu code bytes  %5zu jumps (%zu long)  hash %016llx  min %7.3f ms  median %7.3f ms"
                "  (%d runs)\n",
                lines, bytes, jumps, longJumps, static_cast<unsigned long long>(hash), ms.front(), ms[ms.size() / 2],
                runs);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 9;
    if (argc > 1) {
        const char* a = argv[1];
        if (std::from_chars(a, a + std::strlen(a), runs).ec != std::errc() || runs <= 0) {
            std::fprintf(stderr, "usage: bench_compile [runs]\n");
            return 2;
        }
    }
    std::printf("code generation and linking, no log (target: 10000 lines < 100 ms)\n");
    const bool ok = Run(1000, runs) && Run(10000, runs);
    return ok ? 0 : 1;
}
