#include "program/commandcells.h"

#include "platform/numtext.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quenor;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Block(std::initializer_list<std::uint8_t> bytes)
{
    Bytes cells(kCommandCells, 0);
    std::copy(bytes.begin(), bytes.end(), cells.begin());
    return cells;
}

// The leading cells that a write produced (the rest must stay zero).
Bytes Head(const Bytes& cells, std::size_t n)
{
    for (std::size_t i = n; i < cells.size(); ++i)
        EXPECT_EQ(cells[i], 0) << "cell " << i;
    return Bytes(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(n));
}

// A block: the head bytes, the values as tagged values (flags 0), the tail bytes.
Bytes Line(std::initializer_list<std::uint8_t> head, std::initializer_list<double> values,
           std::initializer_list<std::uint8_t> tail = {})
{
    Bytes cells(kCommandCells, 0);
    CellWriter w(cells);
    for (const std::uint8_t b : head)
        EXPECT_TRUE(w.PutByte(b));
    for (const double v : values)
        EXPECT_TRUE(PutTaggedValue(w, 0, v));
    for (const std::uint8_t b : tail)
        EXPECT_TRUE(w.PutByte(b));
    return cells;
}

Bytes SaveInput(const SInputConditionState& s, bool sensor = false)
{
    Bytes cells(kCommandCells, 0);
    CellWriter w(cells);
    EXPECT_TRUE(SaveCondition(s, w, sensor));
    return cells;
}

Bytes SaveOutput(const SOutputState& s)
{
    Bytes cells(kCommandCells, 0);
    CellWriter w(cells);
    EXPECT_TRUE(SaveOutputElement(s, w));
    return cells;
}

}  // namespace

TEST(CommandCells, Encodings)
{
    SInputConditionState in;
    in.input = 2;
    in.condition = 1;  // Input 3 High
    EXPECT_EQ(Head(SaveInput(in), 2), (Bytes{0x00, 0x09}));
    in.input = 8;
    in.condition = 3;  // Motor Error, Rising Edge
    EXPECT_EQ(Head(SaveInput(in, true), 1), (Bytes{35}));
    in.style = 1;  // every row "Don't care", Or
    EXPECT_EQ(Head(SaveInput(in), 4), (Bytes{0x01, 0x00, 0x00, 0x80}));
    in.rows[0] = kRowHigh;
    in.rows[8] = kRowLow;
    in.rows[9] = kRowHigh;
    in.andOr = 0;  // input 1 High, motor error Low, in position High, And
    EXPECT_EQ(Head(SaveInput(in), 4), (Bytes{0x01, 0x01, 0x06, 0x0C}));
    // A stored single condition read in sensor form takes cell 0.
    SInputConditionState sensor;
    LoadCondition(sensor, Block({35, 0x09}), true);
    EXPECT_EQ(sensor.input, 8);
    EXPECT_EQ(sensor.condition, 3);

    SOutputState out;
    out.number = 2;
    out.mode = 3;
    out.highPulse = "250";
    EXPECT_EQ(Head(SaveOutput(out), 5), (Bytes{0x00, 0x1A, 0x01, 0x00, 0xFA}));
    out.style = 1;
    out.rows = {kRowHigh, kRowLow, kRowDontCare, kRowDontCare, kRowDontCare, kRowDontCare, kRowDontCare, kRowDontCare};
    EXPECT_EQ(Head(SaveOutput(out), 3), (Bytes{0x01, 0x01, 0x03}));  // nothing for the outputs 5-8 not shown
    out.rows = {kRowHigh, kRowLow, kRowDontCare, kRowDontCare, kRowHigh, kRowHigh, kRowHigh, kRowHigh};
    EXPECT_EQ(Head(SaveOutput(out), 3), (Bytes{0x01, 0xF1, 0xF3}));  // outputs 5-8 as a line had them
    out.count = 8;
    EXPECT_EQ(Head(SaveOutput(out), 3), (Bytes{0x01, 0xF1, 0xF3}));

    SPositionState pos;
    pos.item = 1;
    Bytes cells(kCommandCells, 0);
    ASSERT_TRUE(SavePosition(pos, cells));
    EXPECT_EQ(Head(cells, 3), (Bytes{0x01, 0x00, 0x01}));
    pos.item = -1;
    pos.text = "5000";
    cells.assign(kCommandCells, 0);
    ASSERT_TRUE(SavePosition(pos, cells));
    EXPECT_EQ(Head(cells, 4), (Bytes{0x00, 0x01, 0x13, 0x88}));
    SetPositionMode(pos, 0);  // "Save position" preselects "Register 1"
    cells.assign(kCommandCells, 0xEE);
    ASSERT_TRUE(SavePosition(pos, cells));
    EXPECT_EQ(cells[0], 0x00);

    SChoiceState zero{2, 1};  // stepper "Sensor type 2 zero search"
    cells.assign(kCommandCells, 0);
    ASSERT_TRUE(SaveZeroSearch(zero, cells));
    EXPECT_EQ(cells[0], 2);
    zero = {0, 2};
    ASSERT_TRUE(SaveZeroSearch(zero, cells));
    EXPECT_EQ(cells[0], 2);
    EXPECT_EQ(SetModeItems(0).size(), 7u);
    EXPECT_EQ(SetModeItems(2), (std::vector<std::string>{"Passive", "Velocity", "Position"}));

    for (const auto& [text, bytes] : std::vector<std::pair<std::string, Bytes>>{
             {"100", {0x00, 0x64}}, {"250", {0x01, 0x00, 0xFA}}, {"1000", {0x01, 0x03, 0xE8}}}) {
        cells.assign(kCommandCells, 0);
        ASSERT_TRUE(SaveWaitTime(text, cells));
        EXPECT_EQ(Head(cells, bytes.size()), bytes) << text;
    }

    CVekParameterList registers;
    registers.SelectMotorKind(0);
    SRegisterState reg{"5 - Velocity", 4, "1.5", 1};
    cells.assign(kCommandCells, 0);
    ASSERT_TRUE(SaveRegister(reg, cells, true, &registers));
    EXPECT_EQ(Head(cells, 7), (Bytes{5, 4, 0x13, 0x3F, 0xC0, 0x00, 0x00}));  // float, flags 1
    EXPECT_EQ(registers.GetUnitIndex(5), 1);
    SRegisterState back;
    LoadRegister(back, cells, true, registers.GetRegisterList(true));
    EXPECT_EQ(back.reg, "5 - Velocity");
    EXPECT_EQ(back.op, 4);
    EXPECT_EQ(back.value, "1.5");
    EXPECT_EQ(back.unit, 1);
    SRegisterState typed{"5", 0, "1.5", 1};
    Bytes typedCells(kCommandCells, 0);
    ASSERT_TRUE(SaveRegister(typed, typedCells, false, nullptr));
    EXPECT_EQ(Head(typedCells, 6), (Bytes{5, 0x13, 0x3F, 0xC0, 0x00, 0x00}));

    // Fast commands: velocity register 3, torque register 2, "10 - Home search".
    const std::vector<std::pair<SFastCommandState, std::uint8_t>> fast = {
        {{1, 1, 2, -1}, 0x2A}, {{2, 3, 1, -1}, 0x55}, {{3, 0, 0, 14}, 0x70}};
    for (const auto& [state, byte] : fast) {
        EXPECT_EQ(EncodeFastCommand(state), byte);
        SFastCommandState decoded;
        DecodeFastCommand(decoded, byte);
        EXPECT_EQ(EncodeFastCommand(decoded), byte);
        EXPECT_EQ(decoded.mode, state.mode);
        if (state.mode < 3) {
            EXPECT_EQ(decoded.registerType, state.registerType);
            EXPECT_EQ(decoded.number, state.number);
        } else {
            EXPECT_EQ(decoded.command, state.command);
        }
    }
    EXPECT_EQ(FastCommandItemText(kFastCommandItems[14]), "10 - Home search");

    cells.assign(kCommandCells, 0);
    ASSERT_TRUE(SaveBinaryCode("0x01, 0x02,0xff", cells));
    EXPECT_EQ(Head(cells, 4), (Bytes{3, 0x01, 0x02, 0xFF}));
    std::string text;
    LoadBinaryCode(text, cells);
    EXPECT_EQ(text, "0x01, 0x02, 0xFF");
    cells.assign(kCommandCells, 0);
    ASSERT_TRUE(SaveBinaryCode(" 300", cells));
    EXPECT_EQ(Head(cells, 2), (Bytes{1, 0x2C}));
    // A piece is its value, however many digits it takes to write it.
    cells.assign(kCommandCells, 0);
    ASSERT_TRUE(SaveBinaryCode("00000000001, 0x00000000000FF,-0000000000000000001, 00000000000000000000000300", cells));
    EXPECT_EQ(Head(cells, 5), (Bytes{4, 0x01, 0xFF, 0xFF, 0x2C}));
}

TEST(CommandCells, MoveChecks)
{
    struct Case {
        const char* name;
        SMoveState move;
        const char* message;  // nullptr: accepted
    };
    auto velocityChange = [](SDistanceChoice distance, SDistanceChoice change) {
        SMoveState m;
        m.type = 1;
        m.distance = distance;
        m.changeDistance = change;
        return m;
    };
    const std::vector<Case> cases = {
        {"equal", velocityChange({-1, "1000"}, {-1, "1000"}), nullptr},
        {"change farther", velocityChange({-1, "999"}, {-1, "1000"}),
         "Velocity change distance must be lower than the requested distance!"},
        {"negative, change farther", velocityChange({-1, "-500"}, {-1, "-600"}),
         "Velocity change distance must be lower than the requested distance!"},
        {"negative, change nearer", velocityChange({-1, "-500"}, {-1, "-100"}), nullptr},
        {"signs differ", velocityChange({-1, "-500"}, {-1, "100"}), "The distances must have the same sign!"},
        {"zero counts as positive", velocityChange({-1, "0"}, {-1, "-1"}), "The distances must have the same sign!"},
        {"distance from a register", velocityChange({1, "Register 2"}, {-1, "-5000"}), nullptr},
        {"change distance from a register", velocityChange({-1, "-500"}, {2, "Register 3"}), nullptr},
        {"distance not a number", velocityChange({-1, "12abc"}, {-1, "10"}), "'12abc' is not a valid number."},
        {"change distance nan", velocityChange({-1, "10"}, {-1, "nan"}), "'nan' is not a valid number."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandCheck check = CheckMove(c.move, SOutputState{}, SInputConditionState{});
        EXPECT_EQ(check.message, c.message ? c.message : "");
        Bytes cells(kCommandCells, 0x77);
        const Bytes before = cells;
        EXPECT_EQ(SaveMove(c.move, SOutputState{}, SInputConditionState{}, cells), c.message == nullptr);
        if (c.message) {
            EXPECT_EQ(cells, before);
        }
    }

    // "Register 2" as the distance: flags bit 3, the index as the value.
    SMoveState m;
    m.type = 3;
    m.waitForInPosition = false;
    m.distance = {1, "Register 2"};
    Bytes cells(kCommandCells, 0);
    ASSERT_TRUE(SaveMove(m, SOutputState{}, SInputConditionState{}, cells));
    EXPECT_EQ(Head(cells, 7), (Bytes{0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}));
}

TEST(CommandCells, Refusals)
{
    for (const char* text : {"", "abc", "nan", "inf", "-inf", "12abc", "1e400", "1,5"}) {
        Bytes cells(kCommandCells, 0x55);
        EXPECT_TRUE(CheckWaitTime(text)) << text;
        EXPECT_FALSE(SaveWaitTime(text, cells)) << text;
        EXPECT_EQ(cells, Bytes(kCommandCells, 0x55)) << text;
    }
    EXPECT_EQ(CheckWaitTime("abc").message, "'abc' is not a valid number.");
    EXPECT_FALSE(CheckWaitTime(" 2.5e2 "));

    for (const char* reg : {"256", "-1", "abc", "", "3 -"}) {
        const CommandCheck c = CheckRegister({reg, 0, "1", 0}, false);
        EXPECT_EQ(c.field, CommandField::Register) << reg;
    }
    EXPECT_FALSE(CheckRegister({"255", 0, "1", 0}, false));
    EXPECT_EQ(CheckRegister({"3 - Requested position", 0, "x", 0}, false).field, CommandField::Value);

    std::string many = "1";
    for (int i = 1; i < 49; ++i)
        many += ",1";
    EXPECT_FALSE(CheckBinaryCode(many));
    for (const std::string& text : {std::string("1,,2"), std::string("1,"), std::string(""), std::string("0x"),
                                    std::string("1 ,2"), std::string("0x1G"), many + ",1", std::string("2147483648"),
                                    std::string("-2147483649"), std::string("0x100000000"),
                                    std::string("1, 000000000099999999999999999999999999")}) {
        const CommandCheck c = CheckBinaryCode(text);
        EXPECT_EQ(c.message, "Invalid value") << text;
        EXPECT_EQ(c.field, CommandField::Code) << text;
    }

    // Stored indexes that name no item select nothing, and OK is refused.
    SInputConditionState in;
    LoadCondition(in, Block({0x00, 10 * 4 + 1}), false);
    EXPECT_EQ(in.input, -1);
    EXPECT_EQ(CheckCondition(in, false).field, CommandField::Input);
    SOutputState out;  // four outputs
    LoadOutputElement(out, Block({0x00, 0x06}));
    EXPECT_EQ(out.number, -1);
    EXPECT_EQ(CheckOutputElement(out).field, CommandField::Output);
    SRegisterState reg;
    LoadRegister(reg, Block({0x05, 0x06, 0x00, 0x01}), true, {});
    EXPECT_EQ(reg.op, -1);
    EXPECT_EQ(CheckRegister(reg, true).field, CommandField::Operator);
    SChoiceState mode{2, 0};
    LoadSetMode(mode, Block({0x05}));
    EXPECT_EQ(mode.item, -1);
    EXPECT_TRUE(CheckSetMode(mode));
    SChoiceState zero{2, 0};
    LoadZeroSearch(zero, Block({0x00}));  // torque search on a stepper
    EXPECT_EQ(zero.item, -1);
    EXPECT_TRUE(CheckZeroSearch(zero));
    SFastCommandState fast{3, 0, 0, -1};
    DecodeFastCommand(fast, 0x6A);  // code 0A is not offered
    EXPECT_EQ(fast.command, -1);
    EXPECT_EQ(CheckFastCommand(fast).field, CommandField::Command);
}

TEST(CommandCells, RoundTrips)
{
    using Codec = std::function<bool(const Bytes& in, Bytes& out)>;
    auto input = [](bool sensor) -> Codec {
        return [sensor](const Bytes& in, Bytes& out) {
            SInputConditionState s;
            LoadCondition(s, in, sensor);
            CellWriter w(out);
            return SaveCondition(s, w, sensor);
        };
    };
    // count: the outputs the motor has; the dialog shows no others.
    auto output = [](int count) -> Codec {
        return [count](const Bytes& in, Bytes& out) {
            SOutputState s;
            s.count = count;
            LoadOutputElement(s, in);
            CellWriter w(out);
            return SaveOutputElement(s, w);
        };
    };
    auto moveWith = [](int count) -> Codec {
        return [count](const Bytes& in, Bytes& out) {
            SMoveState m;
            SOutputState o;
            o.count = count;
            SInputConditionState i;
            LoadMove(m, o, i, in);
            return SaveMove(m, o, i, out);
        };
    };
    const Codec move = moveWith(8);
    auto reg = [](bool op) -> Codec {
        return [op](const Bytes& in, Bytes& out) {
            SRegisterState s;
            LoadRegister(s, in, op, {});
            return SaveRegister(s, out, op, nullptr);
        };
    };
    auto position = [](int mode) -> Codec {
        return [mode](const Bytes& in, Bytes& out) {
            SPositionState s;
            SetPositionMode(s, mode);
            LoadPosition(s, in);
            return SavePosition(s, out);
        };
    };
    auto choice = [](int kind, bool zero) -> Codec {
        return [kind, zero](const Bytes& in, Bytes& out) {
            SChoiceState s{kind, -1};
            zero ? LoadZeroSearch(s, in) : LoadSetMode(s, in);
            return zero ? SaveZeroSearch(s, out) : SaveSetMode(s, out);
        };
    };
    Codec wait = [](const Bytes& in, Bytes& out) {
        std::string t;
        LoadWaitTime(t, in);
        return SaveWaitTime(t, out);
    };
    Codec fast = [](const Bytes& in, Bytes& out) {
        SFastCommandState s;
        LoadFastCommand(s, in);
        return SaveFastCommand(s, out);
    };
    Codec binary = [](const Bytes& in, Bytes& out) {
        std::string t;
        LoadBinaryCode(t, in);
        return SaveBinaryCode(t, out);
    };
    const std::vector<std::pair<Codec, Bytes>> cases = {
        {input(false), Block({0x00, 0x23})},
        {input(false), Block({0x01, 0xA5, 0xFE, 0x0F})},
        {input(true), Block({0x1E})},
        {output(8), Block({0x00, 0x17})},
        {output(8), Block({0x00, 0x17 | 0x08, 0x03, 0x3F, 0xC0, 0x00, 0x00})},  // low pulse 1.5 ms
        {output(8), Block({0x01, 0x81, 0xC3})},
        // Outputs 5 (high) and 7 (low) on a motor with four: kept, though not shown.
        {output(4), Block({0x01, 0x13, 0x5F})},
        {output(4), Block({0x01, 0x00, 0xF0})},
        {moveWith(4), Block({0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x01, 0x13, 0x5F})},
        {move, Block({0x20, 0x00, 0x64, 0x01, 0x03, 0xE8, 0x02, 0xFF, 0xFE, 0x79, 0x60})},
        {move, Block({0x20, 0x02, 0x00, 0x01, 0x86, 0xA0, 0x03, 0x4F, 0x32, 0xD0, 0x5E, 0x04, 0x42, 0xD6, 0xBC,
                      0xC4, 0x1E, 0x90, 0x00, 0x00})},  // 100000, 3000000000, 1e14
        {move, Block({0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A})},
        {move, Block({0x39, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x03})},
        {move, Block({0x22, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00, 0x1B, 0x01, 0x01, 0x2C})},
        {move, Block({0x34, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x2C, 0x00, 0x01, 0x22})},
        {reg(false), Block({0x05, 0x10, 0x64})},
        {reg(true), Block({0x03, 0x05, 0x21, 0xFC, 0x18})},
        {position(1), Block({0x01, 0x00, 0x02})},
        {position(1), Block({0x00, 0x02, 0x00, 0x01, 0x86, 0xA0})},
        {position(0), Block({0x02})},
        {choice(0, true), Block({0x00})},
        {choice(2, true), Block({0x01})},
        {choice(0, false), Block({0x06})},
        {choice(2, false), Block({0x02})},
        {wait, Block({0x01, 0x03, 0xE8})},
        {wait, Block({0x02, 0x00, 0x03, 0x0D, 0x40})},  // 200000 ms
        {fast, Block({0x00, 0x35})},
        {fast, Block({0x00, 0x76})},
        {binary, Block({0x02, 0x00, 0xAB})},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Bytes out(kCommandCells, 0);
        EXPECT_TRUE(cases[i].first(cases[i].second, out)) << "case " << i;
        EXPECT_EQ(out, cases[i].second) << "case " << i;
    }

    // Any kind but 0 is several outputs; written back as kind 1. The level of
    // an output left as it is ("Don't care", output 8 here) means nothing.
    Bytes out(kCommandCells, 0);
    ASSERT_TRUE(output(4)(Block({0x02, 0x93, 0x5F}), out));
    EXPECT_EQ(out, Block({0x01, 0x13, 0x5F}));
}

TEST(CommandCells, LoadedNumbersReadAsInTheRows)
{
    // Every field a dialog fills from a stored number: a line with v in that
    // field, and the text the dialog shows for it.
    struct Field {
        const char* name;
        std::function<Bytes(double)> line;
        std::function<std::string(const Bytes&)> shown;
    };
    auto move = [](auto pick) {
        return [pick](const Bytes& cells) {
            SMoveState m;
            SOutputState o;
            SInputConditionState i;
            LoadMove(m, o, i, cells);
            return pick(m);
        };
    };
    auto pulse = [](std::uint8_t single, bool high) {
        return Field{high ? "high pulse" : "low pulse",
                     [single](double v) { return Line({0x00, single}, {v}); },
                     [high](const Bytes& cells) {
                         SOutputState o;
                         LoadOutputElement(o, cells);
                         return high ? o.highPulse : o.lowPulse;
                     }};
    };
    auto reg = [](bool withOperator) {
        return Field{withOperator ? "register condition value" : "set register value",
                     [withOperator](double v) {
                         return withOperator ? Line({0x05, 0x02}, {v}) : Line({0x05}, {v});
                     },
                     [withOperator](const Bytes& cells) {
                         SRegisterState s;
                         LoadRegister(s, cells, withOperator, {});
                         return s.value;
                     }};
    };
    const std::vector<Field> fields = {
        {"acceleration", [](double v) { return Line({0x20}, {v, 0, 0}); },
         move([](const SMoveState& m) { return m.acceleration; })},
        {"velocity", [](double v) { return Line({0x20}, {0, v, 0}); },
         move([](const SMoveState& m) { return m.velocity; })},
        {"distance", [](double v) { return Line({0x20}, {0, 0, v}); },
         move([](const SMoveState& m) { return m.distance.text; })},
        {"change distance", [](double v) { return Line({0x21}, {0, 0, 0, v, 0}); },
         move([](const SMoveState& m) { return m.changeDistance.text; })},
        {"new velocity", [](double v) { return Line({0x21}, {0, 0, 0, 0, v}); },
         move([](const SMoveState& m) { return m.newVelocity; })},
        {"safety distance", [](double v) { return Line({0x24}, {0, 0, 0, v}, {0x09}); },
         move([](const SMoveState& m) { return m.safetyDistance.text; })},
        pulse(0x12, false),
        pulse(0x1A, true),
        reg(false),
        reg(true),
        {"position", [](double v) { return Line({0x00}, {v}); },
         [](const Bytes& cells) {
             SPositionState s;
             LoadPosition(s, cells);
             return s.text;
         }},
        {"wait time", [](double v) { return Line({}, {v}); },
         [](const Bytes& cells) {
             std::string t;
             LoadWaitTime(t, cells);
             return t;
         }},
    };
    // Plain decimals of up to 15 significant digits, the exponent form only
    // beyond them; a single-precision 0.1 has no shorter exact text.
    const std::vector<std::pair<double, std::string>> values = {
        {100000, "100000"},
        {200000, "200000"},
        {1000000, "1000000"},
        {3000000000.0, "3000000000"},
        {1e14, "100000000000000"},
        {-250000, "-250000"},
        {0.0001, "0.0001"},
        {2.5, "2.5"},
        {static_cast<double>(0.1f), "0.100000001490116"},
        {1.0 / 3, "0.333333333333333"},
        {1e15, "1E15"},
    };
    for (const Field& field : fields) {
        for (const auto& [value, text] : values) {
            SCOPED_TRACE(std::string(field.name) + " " + text);
            const Bytes cells = field.line(value);
            const std::string shown = field.shown(cells);
            EXPECT_EQ(shown, text);
            // The same text as the line's row, and a number the dialog takes back.
            EXPECT_EQ(shown, FormatValueText(value));
            EXPECT_TRUE(NumberFromText(shown).has_value());
        }
    }
}
