#include "program/vizucode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A generator without a log file.
TVizuCode Code(std::uint32_t n)
{
    return TVizuCode(n, "");
}

Bytes Filler(std::size_t n)
{
    return Bytes(n, 0x01);
}

void AddFiller(TVizuCode& code, std::uint32_t e, std::size_t n)
{
    const Bytes bytes = Filler(n);
    code.AddBinary(e, n, bytes.data());
}

// The bytes of code from address first on.
Bytes Slice(const Bytes& code, std::size_t first, std::size_t count)
{
    return Bytes(code.begin() + static_cast<std::ptrdiff_t>(first),
                 code.begin() + static_cast<std::ptrdiff_t>(first + count));
}

}  // namespace

TEST(VizuCode, LoadImmediateSizes)
{
    TVizuCode c = Code(1);
    c.AddLoadImmediate(0, 255, kTypeTop);
    c.AddLoadImmediate(0, 256, kTypeTop);
    c.AddLoadImmediate(0, -1, kTypeTop);
    c.AddLoadImmediate(0, 40000, kTypeTop);
    c.AddLoadImmediate(0, 1000, kType16Unsigned);
    c.AddLoadImmediate(0, -32768, kTypeTop);
    c.AddLoadImmediate(0, -32769, kTypeTop);
    EXPECT_EQ(c.GetCode(), (Bytes{0x20, 0xFF, 0x2A, 0x00, 0x01, 0x2A, 0xFF, 0xFF, 0x2F, 0x40, 0x9C, 0x00, 0x00, 0x29,
                                  0xE8, 0x03, 0x2A, 0x00, 0x80, 0x2F, 0xFF, 0x7F, 0xFF, 0xFF}));
    EXPECT_EQ(c.TypeStack(), (Bytes{0, 2, 2, 3, 1, 2, 3}));
}

TEST(VizuCode, OperatorsLoadsAndStores)
{
    TVizuCode c = Code(1);
    c.AddLoadStore(0, false, false, 2, kType8Unsigned);  // a register load of 8 bits becomes 16 signed
    c.AddLoadStore(0, false, true, 12, kType16Unsigned);
    c.AddOperator(0, kOpAdd, kTypeTop, kTypeTop);  // max(2, 1) = 2
    c.AddLoadStore(0, false, false, 10, kTypeTop);  // 32 bits
    c.AddOperator(0, kOpLess, kTypeTop, kTypeTop);  // boolean
    c.AddOperator(0, kOpNotZero, kTypeTop, kTypeTop);
    c.AddStackLoadStore(0, false, true, 0, kTypeTop);
    c.AddStackLoadStore(0, true, false, 3, kType32Signed);
    c.AddLoadStore(0, true, true, 40, kTypeTop);
    EXPECT_EQ(c.GetCode(), (Bytes{0x42, 0x02, 0x45, 0x0C, 0x36, 0x00, 0x43, 0x0A, 0x3E, 0x21, 0x30, 0x14, 0x64,
                                  0x6B, 0x03, 0x4C, 0x28}));
    EXPECT_TRUE(c.TypeStack().empty());
    EXPECT_FALSE(c.Failed());
}

TEST(VizuCode, PoppingAnEmptyTypeStackFailsTheLink)
{
    TVizuCode c = Code(1);
    c.AddOperator(0, kOpAdd, kTypeTop, kTypeTop);
    EXPECT_TRUE(c.Failed());
    c.AddEndOfProgram(1);
    EXPECT_FALSE(c.Link());
    EXPECT_NE(c.ErrorText().find("type stack"), std::string::npos);

    TVizuCode d = Code(1);
    d.AddLoadStore(0, true, false, 3, kTypeTop);
    EXPECT_TRUE(d.Failed());
    TVizuCode e = Code(1);
    e.AddJumpTo(0, kJumpTrue, 1, 0);
    EXPECT_TRUE(e.Failed());
    TVizuCode f = Code(1);
    f.AddEndOfProgram(2);  // beyond the program
    EXPECT_TRUE(f.Failed());
}

TEST(VizuCode, ImageChecksumAndThreeByteProgram)
{
    TVizuCode c = Code(0);
    const Bytes code{1, 2, 3};
    c.AddBinary(0, code.size(), code.data());
    ASSERT_TRUE(c.Link());
    EXPECT_EQ(c.GetImage(), (Bytes{0xA1, 0x03, 0x00, 0x06, 0x00, 0x01, 0x02, 0x03}));
    EXPECT_EQ(c.GetChecksum(), 6);

    TVizuCode w = Code(0);
    const Bytes ff(300, 0xFF);  // 300 * 255 = 76500, wraps to 10964
    w.AddBinary(0, ff.size(), ff.data());
    ASSERT_TRUE(w.Link());
    EXPECT_EQ(w.GetChecksum(), 76500 % 65536);
}

TEST(VizuCode, SelfJumpBecomesShort)
{
    TVizuCode c = Code(2);
    c.AddJump(1, 1);
    c.AddEndOfProgram(2);
    ASSERT_TRUE(c.Link());
    EXPECT_EQ(c.GetCode(), (Bytes{0x88, 0xFE, 0x00}));
}

TEST(VizuCode, ForwardEdgeOfTheShortRange)
{
    // Distance 126 from the end of the long jump: short.
    TVizuCode a = Code(2);
    a.AddJump(1, 2);
    AddFiller(a, 1, 126);
    a.AddEndOfProgram(2);
    ASSERT_TRUE(a.Link());
    const Bytes ca = a.GetCode();
    ASSERT_EQ(ca.size(), 2u + 126 + 1);
    EXPECT_EQ(Slice(ca, 0, 2), (Bytes{0x88, 0x7E}));

    // 127: stays long, absolute address 130.
    TVizuCode b = Code(2);
    b.AddJump(1, 2);
    AddFiller(b, 1, 127);
    b.AddEndOfProgram(2);
    ASSERT_TRUE(b.Link());
    const Bytes cb = b.GetCode();
    ASSERT_EQ(cb.size(), 3u + 127 + 1);
    EXPECT_EQ(Slice(cb, 0, 3), (Bytes{0x89, 0x82, 0x00}));
}

TEST(VizuCode, BackwardEdgeOfTheShortRange)
{
    // d = -128 before the adjustment: short with r = -127.
    TVizuCode a = Code(3);
    AddFiller(a, 1, 125);
    a.AddJump(2, 1);
    a.AddEndOfProgram(3);
    ASSERT_TRUE(a.Link());
    EXPECT_EQ(Slice(a.GetCode(), 125, 2), (Bytes{0x88, 0x81}));

    // d = -129: stays long.
    TVizuCode b = Code(3);
    AddFiller(b, 1, 126);
    b.AddJump(2, 1);
    b.AddEndOfProgram(3);
    ASSERT_TRUE(b.Link());
    EXPECT_EQ(Slice(b.GetCode(), 126, 3), (Bytes{0x89, 0x00, 0x00}));
}

TEST(VizuCode, ShorteningOneJumpBringsAnotherInRange)
{
    // Jump A reaches 127 bytes until jump B, which lies between, shrinks.
    TVizuCode c = Code(4);
    c.AddJump(1, 4);  // A
    AddFiller(c, 2, 124);
    c.AddJump(3, 3);  // B, to itself: always short
    c.AddEndOfProgram(4);
    ASSERT_TRUE(c.Link());
    const Bytes code = c.GetCode();
    ASSERT_EQ(code.size(), 2u + 124 + 2 + 1);
    EXPECT_EQ(Slice(code, 0, 2), (Bytes{0x88, 0x7E}));
    EXPECT_EQ(Slice(code, 126, 3), (Bytes{0x88, 0xFE, 0x00}));

    // A chain over three passes: D shrinks first, which brings C in range,
    // which brings X in range; X and C are examined before the jump they wait for.
    const std::string log = (std::filesystem::temp_directory_path() / "quenor_vizucode_chain.log").string();
    TVizuCode d(4, log);
    d.AddJump(1, 3);  // X at 0, to D: 127
    d.AddJump(2, 4);  // C at 3, over D to the end: 127
    AddFiller(d, 2, 124);
    d.AddJump(3, 3);  // D at 130, to itself
    d.AddEndOfProgram(4);
    ASSERT_TRUE(d.Link());
    const Bytes cd = d.GetCode();
    ASSERT_EQ(cd.size(), 2u + 2 + 124 + 2 + 1);
    EXPECT_EQ(Slice(cd, 0, 4), (Bytes{0x88, 0x7E, 0x88, 0x7E}));
    EXPECT_EQ(Slice(cd, 128, 3), (Bytes{0x88, 0xFE, 0x00}));
    // Three passes that shorten and a last one that finds nothing.
    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string t = text.str();
    int passes = 0;
    for (std::size_t at = t.find("Searching for replacable"); at != std::string::npos;
         at = t.find("Searching for replacable", at + 1))
        ++passes;
    EXPECT_EQ(passes, 4);
    in.close();
    std::filesystem::remove(log);
}

TEST(VizuCode, ShortenedJumpMovesTargetOffsetsInItsLine)
{
    // Line 1: J1 to line 2, a byte, J2 back to that byte (offset 3).
    TVizuCode c = Code(2);
    c.AddJump(1, 2);
    const Bytes aa{0xAA};
    c.AddBinary(1, 1, aa.data());
    c.AddJumpTo(1, kJumpAlways, 1, 3);
    c.AddEndOfProgram(2);
    ASSERT_TRUE(c.Link());
    EXPECT_EQ(c.GetCode(), (Bytes{0x88, 0x03, 0xAA, 0x88, 0xFD, 0x00}));
}

TEST(VizuCode, EmptyElementsTakeTheNextCode)
{
    TVizuCode c = Code(5);
    c.AddJump(1, 3);  // to an element without code
    c.AddEndOfProgram(5);
    ASSERT_TRUE(c.Link());
    EXPECT_EQ(c.GetCode(), (Bytes{0x88, 0x00, 0x00}));
    for (std::uint32_t e = 2; e <= 5; ++e)
        EXPECT_EQ(c.FirstIndex(e), 1) << e;
    EXPECT_EQ(c.FirstIndex(0), 0);

    // A program of only empty lines: every element maps to the End.
    TVizuCode d = Code(4);
    d.AddEndOfProgram(4);
    ASSERT_TRUE(d.Link());
    for (std::uint32_t e = 0; e <= 4; ++e)
        EXPECT_EQ(d.FirstIndex(e), 0);
}

TEST(VizuCode, JumpBeyondTheProgramGoesToTheLastByte)
{
    TVizuCode c = Code(2);
    c.AddJump(1, 9);
    c.AddEndOfProgram(2);
    ASSERT_TRUE(c.Link());
    EXPECT_EQ(c.GetCode(), (Bytes{0x88, 0x00, 0x00}));
}

TEST(VizuCode, ElementAddresses)
{
    TVizuCode c = Code(3);
    AddFiller(c, 0, 2);
    c.AddJump(1, 0);  // short: 2 bytes
    c.AddEndOfProgram(3);
    ASSERT_TRUE(c.Link());
    // Element 0: 0-1, element 1: 2-3 (short jump), element 3: 4.
    EXPECT_EQ(c.ElementFromAddress(0), 0);
    EXPECT_EQ(c.ElementFromAddress(1), 0);
    EXPECT_EQ(c.ElementFromAddress(2), 1);
    EXPECT_EQ(c.ElementFromAddress(3), 1);
    EXPECT_EQ(c.ElementFromAddress(4), 3);
    EXPECT_EQ(c.ElementFromAddress(5), -1);
    std::uint32_t first = 99, last = 99;
    EXPECT_TRUE(c.GetElementAddresses(3, first, last));
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(last, 3u);
    EXPECT_TRUE(c.GetElementAddresses(1, first, last));
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(last, 1u);
    EXPECT_TRUE(c.GetElementAddresses(4, first, last));
    EXPECT_EQ(first, 4u);
    EXPECT_EQ(last, 4u);
    EXPECT_FALSE(c.GetElementAddresses(5, first, last));
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(last, 0u);
}

TEST(VizuCode, CodeSizeLimit)
{
    // Over 65535 before linking, exactly 65535 once the jumps are short.
    TVizuCode a = Code(4);
    AddFiller(a, 1, 65530);
    a.AddJump(2, 2);
    a.AddJump(3, 3);
    a.AddEndOfProgram(4);
    EXPECT_TRUE(a.Link()) << a.ErrorText();
    EXPECT_EQ(a.CodeSize(), 65535u);
    EXPECT_EQ(a.GetCode().size(), 65535u);

    TVizuCode b = Code(2);
    AddFiller(b, 1, 40000);
    AddFiller(b, 1, 40000);
    b.AddEndOfProgram(2);
    EXPECT_FALSE(b.Link());
    EXPECT_NE(b.ErrorText().find("65535"), std::string::npos);
}

TEST(VizuCode, InstructionTexts)
{
    auto text = [](Bytes bytes, std::uint32_t address = 0) {
        SCodeElement e;
        e.bytes = std::move(bytes);
        e.address = address;
        return TVizuCode::InstructionText(e);
    };
    EXPECT_EQ(text({0x00}), "End of program");
    EXPECT_EQ(text({0x04, 0x05, 0x0F, 0x8E}), "Test inputs (High order): HLDDDDLHLH Condition: OR");
    EXPECT_EQ(text({0x05, 0x33}), "Test input 4 Edge: 1 High: 1");
    EXPECT_EQ(text({0x07, 0x75}), "Send fastvek command 0x75");
    EXPECT_EQ(text({0x09, 0x12}), "Set output 3");
    EXPECT_EQ(text({0x09, 0x02}), "Clear output 3");
    EXPECT_EQ(text({0x0C}), "Reserved!");
    EXPECT_EQ(text({0x2A, 0xE8, 0x03}), "Load Immediate IS: 16 bit signed OS: 16 bit signed Value: 0x03E8");
    EXPECT_EQ(text({0x3B, 0x20}), "Operator: Greater than (Size1: 32 bit signed, Size 2: 16 bit signed)");
    EXPECT_EQ(text({0x4D, 0x0C}), "Store Variable Type: 16 bit unsigned Address: 0x0C");
    EXPECT_EQ(text({0x43, 0x0A}), "Load Parameter Type: 32 bit signed Address: 0x0A");
    EXPECT_EQ(text({0x67}), "Load Stack Pos: Top Type: 32 bit signed");
    EXPECT_EQ(text({0x6B, 0x03}), "Store Stack Pos: 0x03 Type: 32 bit signed");
    EXPECT_EQ(text({0x8D, 0x34, 0x12}), "Jump condition: True Abs: 0x1234");
    EXPECT_EQ(text({0x8A, 0xF8}, 0x20), "Jump condition: False Rel: 0xF8 (Dec: -8, Abs: 0x001A)");
    EXPECT_EQ(text({0x80}), "Call/Return");
    EXPECT_EQ(text({0x95}), "Unknown command...");
}

TEST(VizuCode, LogFile)
{
    const std::string path = (std::filesystem::temp_directory_path() / "quenor_vizucode_test.log").string();
    {
        std::ofstream old(path);
        old << "old contents";
    }
    TVizuCode c(2, path);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);  // emptied
    c.AddJump(1, 1);
    c.AddEndOfProgram(2);
    ASSERT_TRUE(c.Link());
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string log = text.str();
    EXPECT_NE(log.find("Program without long jumps, and without destinations:"), std::string::npos);
    EXPECT_NE(log.find(" Jump Command at 0x0000 changed to short\r\n"), std::string::npos);
    EXPECT_NE(log.find("  1:000:0000: 0x88 0xFE Jump condition: Always Rel: 0xFE"), std::string::npos);
    EXPECT_NE(log.find("Nonexisting OriginalIndex moved to next element! (0=000)"), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 13), "None found :D");
    std::filesystem::remove(path);

    // An unwritable log never fails the code.
    TVizuCode d(1, "/nonexistent-folder/x/VizuWare!.Log");
    d.AddEndOfProgram(1);
    EXPECT_TRUE(d.Link());
}

namespace {

// The linking rules step by step, as simply as they can be written: every
// shortened jump moves every later element at once.
Bytes ReferenceLink(std::vector<SCodeElement> el, std::vector<std::int32_t> first, std::uint32_t n)
{
    std::int32_t next = -1;
    for (std::uint32_t e = n + 1; e-- > 0;) {
        if (first[e] >= 0)
            next = first[e];
        else
            first[e] = next;
    }
    std::int64_t size = 0;
    for (SCodeElement& x : el) {
        x.address = static_cast<std::uint32_t>(size);
        size += static_cast<std::int64_t>(x.bytes.size());
    }
    auto target = [&](const SCodeElement& j) -> std::int64_t {
        if (j.target > n || first[j.target] < 0)
            return size - 1;
        return el[static_cast<std::size_t>(first[j.target])].address + j.targetOffset;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (SCodeElement& j : el) {
            if (!j.jump)
                continue;
            const std::int64_t t = target(j);
            if (j.bytes.size() == 3) {
                j.bytes[1] = static_cast<std::uint8_t>(t & 0xFF);
                j.bytes[2] = static_cast<std::uint8_t>((t >> 8) & 0xFF);
            } else {
                j.bytes[1] = static_cast<std::uint8_t>((t - j.address - 2) & 0xFF);
            }
        }
        for (std::size_t i = 0; i < el.size(); ++i) {
            SCodeElement& j = el[i];
            if (!j.jump || j.bytes.size() != 3)
                continue;
            std::int64_t d = target(j) - j.address - 3;
            if (d < 0)
                d = d + 1;
            if (d < -127 || d > 126)
                continue;
            j.bytes.resize(2);
            j.bytes[0] &= 0xFE;
            changed = true;
            --size;
            for (std::size_t k = i + 1; k < el.size(); ++k)
                --el[k].address;
            for (SCodeElement& k : el) {
                if (!k.jump || k.target != j.originalIndex)
                    continue;
                if (el[static_cast<std::size_t>(first[k.target])].address + k.targetOffset > j.address)
                    --k.targetOffset;
            }
        }
    }
    Bytes code;
    for (const SCodeElement& x : el)
        code.insert(code.end(), x.bytes.begin(), x.bytes.end());
    return code;
}

}  // namespace

TEST(VizuCode, LinkMatchesTheStepByStepRules)
{
    std::mt19937 rng(77);
    for (int round = 0; round < 300; ++round) {
        const std::uint32_t n = 2 + rng() % 40;
        TVizuCode c(n, "");
        for (std::uint32_t e = 0; e < n; ++e) {
            if (rng() % 5 == 0)
                continue;  // an empty line
            const int items = 1 + static_cast<int>(rng() % 4);
            std::uint32_t offset = 0;
            std::vector<std::uint32_t> offsets;
            for (int i = 0; i < items; ++i) {
                offsets.push_back(offset);
                switch (rng() % 4) {
                case 0: {
                    const std::size_t size = 1 + rng() % 90;
                    AddFiller(c, e, size);
                    offset += static_cast<std::uint32_t>(size);
                    break;
                }
                case 1: c.AddJump(e, static_cast<std::uint32_t>(rng() % (n + 3))); offset += 3; break;
                case 2:
                    // Back into this line at one of its earlier instructions.
                    c.AddJumpTo(e, kJumpAlways, e, offsets[rng() % offsets.size()]);
                    offset += 3;
                    break;
                default: {
                    // Forward into this line, re-aimed once the target exists.
                    const std::size_t j = c.AddJumpTo(e, kJumpAlways, e, 0);
                    offset += 3;
                    AddFiller(c, e, 1 + rng() % 60);
                    c.SetJumpTarget(j, e, static_cast<std::uint32_t>(c.CodeSize()) -
                                              c.Elements()[static_cast<std::size_t>(c.FirstIndex(e))].address);
                    offset = static_cast<std::uint32_t>(c.CodeSize()) -
                             c.Elements()[static_cast<std::size_t>(c.FirstIndex(e))].address;
                    break;
                }
                }
            }
        }
        c.AddEndOfProgram(n);
        std::vector<std::int32_t> first;
        for (std::uint32_t e = 0; e <= n; ++e)
            first.push_back(c.FirstIndex(e));
        const Bytes expected = ReferenceLink(c.Elements(), first, n);
        ASSERT_TRUE(c.Link());
        ASSERT_EQ(c.GetCode(), expected) << "round " << round;
    }
}
