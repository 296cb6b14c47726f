// Value logic of the parameter controls, without widgets.
#include "params/paramfactory.h"
#include "params/paramkinds.h"
#include "params/paramvalue.h"
#include "platform/recordingtarget.h"
#include "rowbuilder.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quenor;
using quenor::test::EditRow;
using quenor::test::Row;

namespace {

template <class T>
std::unique_ptr<T> Build(RecordingTarget& target, const Row& row)
{
    auto c = CreateParamControl(&target, row);
    auto* typed = dynamic_cast<T*>(c.get());
    EXPECT_NE(typed, nullptr);
    c.release();
    return std::unique_ptr<T>(typed);
}

// Family 0 "Max velocity": type 1, edit, file, spin; RPM / Cnts/S.
Row MaxVelocityRow()
{
    Row r = EditRow("Max velocity", 5, 1 | 0x20 | 0x40 | 0x80, -10487, 10487, 0.476837158203125, "RPM", "Cnts/S");
    r.Set(11, 100.0);  // spin step
    return r;
}

std::vector<Message> OfKind(const std::vector<Message>& all, int msg)
{
    std::vector<Message> out;
    for (const auto& m : all)
        if (m.msg == msg)
            out.push_back(m);
    return out;
}

}  // namespace

TEST(ParamCells, IntegerCellAlsoSetsTheDoubleAndEmptyCellsReadAsZero)
{
    const InitParam limit(-10487);
    EXPECT_EQ(limit.i, -10487);
    EXPECT_DOUBLE_EQ(limit.d, -10487.0);
    const InitParam empty;
    EXPECT_EQ(empty.i, 0);
    EXPECT_EQ(empty.d, 0.0);
    EXPECT_TRUE(empty.text.empty());
    EXPECT_EQ(empty.p, nullptr);
}

TEST(ParamNumbers, RoundingStepsMasksAndShifts)
{
    EXPECT_EQ(RoundHalfAway(2.5), 3);
    EXPECT_EQ(RoundHalfAway(-2.5), -3);
    EXPECT_EQ(RoundHalfAway(2.4999), 2);
    EXPECT_EQ(RoundHalfAway(-0.49), 0);
    EXPECT_EQ(RoundHalfAway(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(RoundHalfAway(-1e300), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(RoundStep(1.95), 2);
    EXPECT_EQ(RoundStep(1.85), 1);
    EXPECT_EQ(RoundStep(-1.95), -2);
    EXPECT_EQ(RoundStep(0.0), 0);
    EXPECT_EQ(BitFieldMask(9, 1), 0x200u);
    EXPECT_EQ(BitFieldMask(31, 1), 0x80000000u);
    EXPECT_EQ(BitFieldMask(0, 32), 0xFFFFFFFFu);
    EXPECT_EQ(BitFieldMask(16, 16), 0xFFFF0000u);
    EXPECT_EQ(BitFieldMask(0, 0), 0u);
    EXPECT_EQ(BitFieldMask(32, 1), 0u);
}

TEST(SetupLine, CaptionIsPaddedToColumn25)
{
    EXPECT_EQ(SetupLine("A", 5), "A" + std::string(24, ' ') + " = 5");
    EXPECT_EQ(SetupLine("Max velocity", -7), "Max velocity" + std::string(13, ' ') + " = -7");
    EXPECT_EQ(SetupLine("", 0), std::string(24, ' ') + " = 0");
    EXPECT_EQ(SetupLine(std::string(24, 'x'), 1), std::string(24, 'x') + "  = 1");
    EXPECT_EQ(SetupLine(std::string(25, 'x'), 1), std::string(25, 'x') + " = 1");
    const std::string thirty(30, 'c');
    EXPECT_EQ(SetupLine(thirty, 12), thirty + " = 12");
}

TEST(SetupLine, EachKindWritesItsRawValueOrNothing)
{
    RecordingTarget t;
    auto withFile = Build<CParamControlEdit>(t, MaxVelocityRow());
    withFile->SetValue(0xFFFF);  // -1 as a 16-bit register
    EXPECT_EQ(withFile->GetSetupLine(), "Max velocity" + std::string(13, ' ') + " = -1");

    auto noFile = Build<CParamControlEdit>(t, EditRow("Position", 3, 2 | 0x20, -67000000, 67000000, 1));
    noFile->SetValue(12345);
    EXPECT_EQ(noFile->GetSetupLine(), "");

    Row info;
    info.Head(13, "Ser", 120, 0, 0).Set(5, 2);
    auto inf = Build<CParamControlInfo>(t, info);
    inf->SetValue(-100000);
    EXPECT_EQ(inf->GetSetupLine(), "Ser" + std::string(22, ' ') + " = -100000");
    EXPECT_EQ(inf->ValueMask(), 0xFFFFFFFFu);

    Row combo;
    combo.Head(10, "Movement", 35).Set(5, 9).Set(6, 2).Set(7, 110).Items(8, {{0, "Abs"}, {1, "Rel"}, {2, "Unl"}});
    auto cb = Build<CParamControlCombo>(t, combo);
    cb->SetValue(0x0400 | 0x0003);
    EXPECT_EQ(cb->GetSetupLine(), "Movement" + std::string(17, ' ') + " = 2");

    Row check;
    check.Head(7, "Invert", 161).Set(5, 2).Set(6, 1);
    auto ck = Build<CParamControlCheckBox>(t, check);
    ck->SetValue(0x4);
    EXPECT_EQ(ck->GetSetupLine(), "Invert" + std::string(19, ' ') + " = 1");

    Row radio;
    radio.Head(5, "Startup mode", 37).Set(5, 0).Set(6, 5).Items(7, {{0, "Passive"}, {1, "Velocity"}});
    auto rg = Build<CParamControlRadioGroup2>(t, radio);
    rg->SetValue(0xFFE1);
    EXPECT_EQ(rg->GetSetupLine(), "Startup mode" + std::string(13, ' ') + " = 1");

    Row view;
    view.Head(6, "State", 1).Set(5, 0).Set(6, 3).Items(8, {{0, "Off"}});
    Row list;
    list.Head(8, "Bits", 1).Set(5, 0).Set(6, 3).Items(8, {{0, "A"}});
    Row lamps;
    lamps.Head(14, "Inputs", 18).Set(5, 0).Set(6, 8);
    Row page;
    page.Head(9, "Main", 1);
    Row bar;
    bar.Head(3, "Heading", 1);
    for (const Row* r : {&view, &list, &lamps, &page, &bar}) {
        auto c = CreateParamControl(&t, *r);
        c->SetValue(5);
        EXPECT_EQ(c->GetSetupLine(), "") << c->Caption();
    }
}

TEST(SetupLine, ParsingByKind)
{
    RecordingTarget t;
    auto edit = Build<CParamControlEdit>(t, EditRow("Position", 3, 2 | 0x20, -67000000, 67000000, 1));
    edit->ParseSetupValue("-1234567");
    EXPECT_EQ(edit->Value(), -1234567);
    EXPECT_TRUE(edit->TestAndClearChanged());  // also without the file flag
    EXPECT_FALSE(edit->Changed());
    EXPECT_THROW(edit->ParseSetupValue("12.5"), SetupValueError);
    EXPECT_THROW(edit->ParseSetupValue("abc"), SetupValueError);
    EXPECT_THROW(edit->ParseSetupValue("4294967296"), SetupValueError);

    Row info;
    info.Head(13, "Ser", 120, 0, 0).Set(5, 1);
    auto inf = Build<CParamControlInfo>(t, info);
    inf->SetValue(77);
    inf->ParseSetupValue("5");
    EXPECT_EQ(inf->Value(), 77);
    EXPECT_FALSE(inf->Changed());

    Row bits;
    bits.Head(7, "Flag", 36).Set(5, 4).Set(6, 2);
    auto ck = Build<CParamControlCheckBox>(t, bits);
    ck->ParseSetupValue("3");
    EXPECT_EQ(ck->Value(), 0x30);
    EXPECT_FALSE(ck->Changed());

    Row page;
    page.Head(9, "Main", 1);
    auto pg = CreateParamControl(&t, page);
    pg->ParseSetupValue("9");
    EXPECT_EQ(pg->Value(), 9);
    EXPECT_TRUE(pg->Changed());
}

TEST(EditInput, MaxVelocityLimitsAndTheMinimumWritten)
{
    RecordingTarget t;
    auto e = Build<CParamControlEdit>(t, MaxVelocityRow());
    t.Clear();

    EXPECT_TRUE(e->EnterPressed("5000"));
    auto m = t.Take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].msg, UM_PARAMERROR);
    EXPECT_EQ(m[0].wParam, kNoticeAccepted);
    EXPECT_EQ(m[1].msg, UM_CONTROLCHANGED);
    EXPECT_EQ(m[1].wParam, 5);
    EXPECT_EQ(m[1].lParam, 0);
    EXPECT_EQ(e->Value(), 10486);
    EXPECT_TRUE(e->TestAndClearChanged());

    EXPECT_FALSE(e->EnterPressed("6000"));
    m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].msg, UM_PARAMERROR);
    EXPECT_EQ(m[0].wParam, kNoticeAboveMaximum);
    EXPECT_TRUE(m[0].hasText);
    EXPECT_EQ(m[0].text, "5000.6");
    EXPECT_EQ(e->Value(), 10486);
    EXPECT_FALSE(e->Changed());

    EXPECT_TRUE(e->EnterPressed("-6000"));
    m = t.Take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].wParam, kNoticeBelowMinimum);
    EXPECT_EQ(m[0].text, "-5000.6");
    EXPECT_EQ(m[1].msg, UM_CONTROLCHANGED);
    EXPECT_EQ(e->Value(), -10487);

    // The limit text travels with the message: a later notice does not change it.
    EXPECT_FALSE(e->EnterPressed("7000"));
    EXPECT_EQ(t.Take()[0].text, "5000.6");
}

TEST(EditInput, AlternateUnitTakesRawNumbers)
{
    RecordingTarget t;
    auto e = Build<CParamControlEdit>(t, MaxVelocityRow());
    EXPECT_EQ(e->ShownUnitText(), "RPM");
    ASSERT_TRUE(e->UnitClicked());
    EXPECT_EQ(e->ShownUnitText(), "Cnts/S");
    t.Clear();
    EXPECT_TRUE(e->EnterPressed("10487"));
    EXPECT_EQ(e->Value(), 10487);
    EXPECT_FALSE(e->EnterPressed("10488"));
    EXPECT_EQ(t.Snapshot().back().text, "10487.0");
    // The tolerance: a hair above the maximum counts as the maximum.
    EXPECT_TRUE(e->EnterPressed("10487.0000005"));
    EXPECT_EQ(e->Value(), 10487);

    // Without an alternate unit the unit label does nothing.
    auto plain = Build<CParamControlEdit>(t, EditRow("In", 15, 1 | 0x20, 1, 32767, 1, "Pulses"));
    EXPECT_FALSE(plain->UnitClicked());
    EXPECT_TRUE(plain->Scaled());
}

TEST(EditInput, InvalidNumbersAndZero)
{
    RecordingTarget t;
    auto e = Build<CParamControlEdit>(t, EditRow("Zero velocity", 40, 1 | 0x20 | 0x800, -100, 100, 1));
    for (const char* text : {"abc", "", "1,5", "nan", "inf", "-inf", "1e400", "12x"}) {
        t.Clear();
        EXPECT_FALSE(e->EnterPressed(text)) << text;
        auto m = t.Take();
        ASSERT_EQ(m.size(), 1u) << text;
        EXPECT_EQ(m[0].wParam, kNoticeInvalidNumber) << text;
    }
    for (const char* text : {"0", "0.2", "-0.4"}) {
        t.Clear();
        EXPECT_FALSE(e->EnterPressed(text)) << text;
        auto m = t.Take();
        ASSERT_EQ(m.size(), 1u) << text;
        EXPECT_EQ(m[0].wParam, kNoticeZero) << text;
    }
    t.Clear();
    EXPECT_TRUE(e->EnterPressed(" 0.5 "));
    EXPECT_EQ(e->Value(), 1);
    EXPECT_TRUE(e->EnterPressed("1e1"));
    EXPECT_EQ(e->Value(), 10);
}

TEST(EditInput, FixedPointTypes)
{
    RecordingTarget t;
    auto q12 = Build<CParamControlEdit>(t, EditRow("Gain", 70, 3 | 0x20, -7, 7, 1));
    q12->SetValue(4096);
    EXPECT_EQ(q12->ValueText(), "1.0000");
    EXPECT_TRUE(q12->EnterPressed("0.5"));
    EXPECT_EQ(q12->Value(), 2048);
    t.Clear();
    EXPECT_FALSE(q12->EnterPressed("8"));
    EXPECT_EQ(t.Take()[0].text, "7.0000");  // types 3 and 5 show four decimals

    auto q8 = Build<CParamControlEdit>(t, EditRow("Load", 13, 4 | 0x20, 0.2, 5, 1));
    EXPECT_TRUE(q8->EnterPressed("1.5"));
    EXPECT_EQ(q8->Value(), 384);
    t.Clear();
    EXPECT_TRUE(q8->EnterPressed("0.1"));
    EXPECT_EQ(t.Take()[0].text, "0.2");
    EXPECT_EQ(q8->Value(), RoundHalfAway(0.2 * 256));

    auto q16 = Build<CParamControlEdit>(t, EditRow("Big", 80, 5 | 0x20, -67000000, 67000000, 1));
    EXPECT_EQ(q16->ValueMask(), 0xFFFFFFFFu);
    EXPECT_TRUE(q16->EnterPressed("-1.25"));
    EXPECT_EQ(q16->Value(), -81920);
    q16->SetValue(-81920);
    EXPECT_EQ(q16->ValueText(), "-1.2500");
}

TEST(EditInput, RawValueOutside32BitsIsOutOfRangeNotWrapped)
{
    RecordingTarget t;
    auto q16 = Build<CParamControlEdit>(t, EditRow("Big", 80, 5 | 0x20, -67000000, 67000000, 1));
    q16->SetValue(7);
    t.Clear();
    EXPECT_FALSE(q16->EnterPressed("40000"));  // 40000 * 65536 does not fit 32 bits
    auto m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].wParam, kNoticeAboveMaximum);
    EXPECT_EQ(m[0].text, "32768.0000");
    EXPECT_EQ(q16->Value(), 7);
    EXPECT_FALSE(q16->EnterPressed("-40000"));
    m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].wParam, kNoticeBelowMinimum);
    EXPECT_EQ(q16->Value(), 7);

    // Below the minimum the minimum is written, unless it does not fit either.
    auto q8 = Build<CParamControlEdit>(t, EditRow("Big8", 82, 6 | 0x20, -67000000, 67000000, 1));
    t.Clear();
    EXPECT_FALSE(q8->EnterPressed("-70000000"));
    m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].wParam, kNoticeBelowMinimum);
    EXPECT_EQ(OfKind(m, UM_CONTROLCHANGED).size(), 0u);

    // Type 2 at its extremes still fits.
    auto i32 = Build<CParamControlEdit>(t, EditRow("Follow", 22, 2 | 0x20, 0, 2147483647, 1));
    EXPECT_TRUE(i32->EnterPressed("2147483647"));
    EXPECT_EQ(i32->Value(), 2147483647);
}

TEST(EditDisplay, SignExtensionDecimalsAbsoluteAndRounding)
{
    RecordingTarget t;
    auto e16 = Build<CParamControlEdit>(t, EditRow("A", 1, 1 | 0x20, -32768, 32767, 1));
    e16->SetValue(0xFFFF);
    EXPECT_EQ(e16->Value(), -1);
    EXPECT_EQ(e16->ValueText(), "-1");
    EXPECT_EQ(e16->GetValue(), 0xFFFF);
    auto e32 = Build<CParamControlEdit>(t, EditRow("B", 2, 2 | 0x20, 0, 1e9, 1));
    e32->SetValue(0xFFFF);
    EXPECT_EQ(e32->ValueText(), "65535");

    Row d1 = EditRow("Volts", 123, 1 | 0x20, -1023, 1023, 0.1);
    d1.Set(11, 1);  // decimals
    auto one = Build<CParamControlEdit>(t, d1);
    one->SetValue(123);
    EXPECT_EQ(one->ValueText(), "12.3");
    one->SetValue(1);
    EXPECT_EQ(one->ValueText(), " 0.1");  // "%4.1f"
    auto zero = Build<CParamControlEdit>(t, EditRow("Volts0", 123, 1 | 0x20, -1023, 1023, 0.1));
    zero->SetValue(123);
    EXPECT_EQ(zero->ValueText(), "12");
    zero->SetValue(125);
    EXPECT_EQ(zero->ValueText(), "13");  // 12.5 rounds away from zero
    zero->SetValue(-125);
    EXPECT_EQ(zero->ValueText(), "-13");

    Row d2 = EditRow("Two", 9, 1 | 0x20, -1023, 1023, 0.01);
    d2.Set(11, 2);
    auto two = Build<CParamControlEdit>(t, d2);
    two->SetValue(-5);
    EXPECT_EQ(two->ValueText(), "-0.05");

    auto abs = Build<CParamControlEdit>(t, EditRow("Abs", 121, 1 | 0x200, -1023, 1023, 2));
    abs->SetValue(-7);
    EXPECT_EQ(abs->ValueText(), "14");

    // Scale change from the main window redraws.
    abs->SetDisplayMode(3);
    EXPECT_EQ(abs->ValueText(), "21");

    // An edit row without a decimals cell shows integers.
    auto fraction = Build<CParamControlEdit>(t, EditRow("F", 10, 1 | 0x20, 0, 65535, 7.62939453125));
    fraction->SetValue(3);
    EXPECT_EQ(fraction->ValueText(), "23");
}

TEST(EditSpin, StepsToTheGridAndClampsToTheLimits)
{
    RecordingTarget t;
    Row r = EditRow("S", 7, 1 | 0x20 | 0x80, -100, 100, 1);
    r.Set(11, 10.0);
    auto e = Build<CParamControlEdit>(t, r);
    e->SetValue(17);
    t.Clear();
    e->SpinStep(true);
    EXPECT_EQ(e->Value(), 20);
    auto m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].msg, UM_CONTROLCHANGED);
    EXPECT_EQ(m[0].wParam, 7);
    EXPECT_FALSE(e->Changed());
    e->SetValue(17);
    e->SpinStep(false);
    EXPECT_EQ(e->Value(), 0);
    e->SetValue(-17);
    e->SpinStep(false);
    EXPECT_EQ(e->Value(), -20);
    e->SetValue(95);
    e->SpinStep(true);
    EXPECT_EQ(e->Value(), 100);
    e->SetValue(-95);
    e->SpinStep(false);
    EXPECT_EQ(e->Value(), -100);

    // The scale is used even with the alternate unit shown; raw values step.
    Row v = MaxVelocityRow();
    auto vel = Build<CParamControlEdit>(t, v);
    vel->UnitClicked();
    vel->SetValue(0);
    vel->SpinStep(true);
    // 100 RPM in counts: 100 / 0.476837158203125 = 209.7..., + 0.49 rounds to 210.
    EXPECT_EQ(vel->Value(), 210);

    // Fixed point: the maximum is compared with the raw value.
    Row q = EditRow("Load", 13, 4 | 0x20 | 0x80, 0.2, 5, 1);
    q.Set(11, 16.0);
    auto load = Build<CParamControlEdit>(t, q);
    load->SetValue(1280);
    load->SpinStep(true);
    EXPECT_EQ(load->Value(), 1280);
    load->SetValue(256);
    load->SpinStep(true);
    EXPECT_EQ(load->Value(), 272);
}

TEST(EditAverage, JumpRestartsTheAverage)
{
    RecordingTarget t;
    Row r = EditRow("Actual velocity", 12, 1, 0, 5000, 1, "RPM");
    r.Set(11, 0).Set(12, 10);  // decimals, average count
    r.Set(7, 1 | 0x100);
    auto e = Build<CParamControlEdit>(t, r);
    e->SetValue(100);  // far from the empty average: all samples become 100
    EXPECT_EQ(e->ValueText(), "100");
    e->SetValue(103);  // sum 1003
    EXPECT_EQ(e->ValueText(), "100");
    e->SetValue(104);  // sum 1007
    EXPECT_EQ(e->ValueText(), "101");
    e->SetValue(111);  // sum 1018, average 101, 10 away from the sample
    EXPECT_EQ(e->ValueText(), "111");
    e->SetValue(106);  // sum 1105, average 110, within 5
    EXPECT_EQ(e->ValueText(), "111");
}

TEST(EditBuild, PollsBindsAndReadsWithTheRegisterWidth)
{
    RecordingTarget t;
    auto display = CreateParamControl(&t, EditRow("Pos", 3, 2, 0, 1, 1));
    auto m = t.Take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].msg, UM_ADDPOLL);
    EXPECT_EQ(m[0].wParam, (4 << 16) + 3);
    EXPECT_EQ(m[1].msg, UM_BINDCONTROL);
    EXPECT_EQ(m[1].wParam, 3);
    EXPECT_EQ(m[1].lParam, reinterpret_cast<std::intptr_t>(display.get()));

    auto display16 = CreateParamControl(&t, EditRow("Cur", 9, 1, 0, 1, 1));
    m = t.Take();
    EXPECT_EQ(m[0].wParam, (2 << 16) + 9);

    auto editable = Build<CParamControlEdit>(t, EditRow("Pos2", 4, 6 | 0x20, 0, 1, 1));
    m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].msg, UM_BINDCONTROL);
    editable->LabelClicked();
    m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].msg, UM_READREGISTER);
    EXPECT_EQ(m[0].wParam, 4);
    EXPECT_EQ(m[0].lParam, 4);
}

TEST(BitControls, MaskAndFieldOfACheckBox)
{
    RecordingTarget t;
    Row r;
    r.Head(7, "Resync", 36).Set(5, 9).Set(6, 1);
    auto c = Build<CParamControlCheckBox>(t, r);
    EXPECT_EQ(c->ValueMask(), 0x200u);
    t.Clear();
    c->SetValue(0xFFFF);
    EXPECT_EQ(c->Value(), 0x200);
    EXPECT_EQ(c->GetField(), 1);
    EXPECT_TRUE(c->Checked());
    EXPECT_EQ(t.Size(), 0u);  // a register value posts nothing

    c->Clicked(true);  // same state: nothing
    EXPECT_EQ(t.Size(), 0u);
    c->Clicked(false);
    auto m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].msg, UM_CONTROLCHANGED);
    EXPECT_EQ(c->GetField(), 0);
    EXPECT_FALSE(c->Changed());
}

TEST(BitControls, TopBitAndFull32BitFields)
{
    RecordingTarget t;
    Row top;
    top.Head(7, "Top", 50).Set(5, 31).Set(6, 1);
    auto c = Build<CParamControlCheckBox>(t, top);
    c->SetValue(static_cast<std::int32_t>(0x80000000u));
    EXPECT_EQ(c->GetField(), 1);
    EXPECT_EQ(c->GetValue(), static_cast<std::int32_t>(0x80000000u));

    Row full;
    full.Head(6, "All", 51).Set(5, 0).Set(6, 32).Items(8, {{-1, "All set"}, {0, "Clear"}});
    t.Clear();
    auto v = Build<CParamControlBitView>(t, full);
    EXPECT_EQ(t.Snapshot()[0].wParam, (4 << 16) + 51);  // field above bit 15: 4 bytes
    v->SetValue(-1);
    EXPECT_EQ(v->GetField(), -1);
    EXPECT_EQ(v->ValueText(), "All set");
}

TEST(BitControls, RadioGroupsShowTheItemOfTheirValueAndReportClicks)
{
    RecordingTarget t;
    Row r;
    r.Head(5, "Startup mode", 37).Set(5, 0).Set(6, 5).Items(7, {{1, "Velocity"}, {0, "Passive"}, {5, "Analogue"}, {-1, "None"}});
    auto g = Build<CParamControlRadioGroup2>(t, r);
    EXPECT_EQ(g->GetHeight(), 4 * 15 + 21 + 1);
    EXPECT_EQ(g->CheckedIndex(), 1);  // the item of the field's 0, from the start
    g->SetValue(5);
    EXPECT_EQ(g->CheckedIndex(), 2);
    g->SetValue(9);
    EXPECT_EQ(g->CheckedIndex(), -1);  // no item carries it: none is shown
    t.Clear();
    g->ItemReleased(1);
    auto m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].msg, UM_CONTROLCHANGED);
    EXPECT_EQ(m[0].wParam, 37);
    EXPECT_EQ(m[0].lParam, 1);
    EXPECT_EQ(g->GetField(), 0);  // item 1's value
    EXPECT_EQ(g->CheckedIndex(), 1);
    EXPECT_FALSE(g->Changed());
    g->SetChangeActualMode(false);
    g->ItemReleased(2);
    EXPECT_EQ(t.Take()[0].lParam, 0);
    g->ItemReleased(3);  // disabled item
    EXPECT_EQ(t.Size(), 0u);

    Row plain = r;
    plain.Set(0, 4);
    auto g4 = Build<CParamControlRadioGroup>(t, plain);
    t.Clear();
    g4->ItemReleased(2);
    EXPECT_EQ(t.Take()[0].lParam, 0);
}

TEST(BitControls, BitViewAndBitList)
{
    RecordingTarget t;
    Row view;
    view.Head(6, "Mode", 2).Set(5, 0).Set(6, 5).Set(7, 0xFF).Items(8, {{0, "Passive"}, {2, "Position"}});
    auto v = Build<CParamControlBitView>(t, view);
    v->SetValue(2);
    EXPECT_EQ(v->ValueText(), "Position");
    v->SetValue(7);
    EXPECT_EQ(v->ValueText(), "Passive");
    Row empty;
    empty.Head(6, "Nothing", 2).Set(5, 0).Set(6, 5);
    auto e = Build<CParamControlBitView>(t, empty);
    EXPECT_EQ(e->ValueText(), "---");

    Row list;
    list.Head(8, "Errors", 35).Set(5, 4).Set(6, 3).Items(8, {{0, "A"}, {1, "B"}, {2, "C"}});
    auto l = Build<CParamControlBitList>(t, list);
    l->SetValue(5 << 4);
    EXPECT_TRUE(l->LabelEnabled(0));
    EXPECT_FALSE(l->LabelEnabled(1));
    EXPECT_TRUE(l->LabelEnabled(2));
    EXPECT_EQ(l->Arrange(true, {5, 10}), (ParamPoint{5, 10 + 3 * 13}));
}

TEST(BitControls, ComboShowsTheItemOfItsValueAndReportsOnlyNewChoices)
{
    RecordingTarget t;
    Row io;
    io.Head(10, "I/O Type", 39).Set(5, 0).Set(6, 5).Set(7, 120).Items(8, {{16, "Puls/dir Input"}, {0, "Quadrature Input"}});
    EXPECT_EQ(Build<CParamControlCombo>(t, io)->SelectedIndex(), 1);  // the field's 0 from the start
    Row r;
    r.Head(10, "Zero search mode", 42).Set(5, 0).Set(6, 16).Set(7, 120).Items(8, {{0, "Disabled"}, {12, "Torque"}, {3072, "T"}});
    auto c = Build<CParamControlCombo>(t, r);
    c->SetValue(3072);
    EXPECT_EQ(c->SelectedIndex(), 2);
    c->SetValue(55);
    EXPECT_EQ(c->SelectedIndex(), -1);  // no item carries it: none is shown
    t.Clear();
    c->ChoiceMade(0);  // the field is 55, item 0 is 0: a change
    EXPECT_EQ(t.Size(), 1u);
    EXPECT_TRUE(c->TestAndClearChanged());
    c->ChoiceMade(0);
    EXPECT_EQ(t.Size(), 1u);
    EXPECT_FALSE(c->Changed());
}

TEST(ItemLists, HoldThirtyItemsAndStayInsideTheRow)
{
    ParamItemList list;
    for (int i = 0; i < 30; ++i)
        list.Add(i, "x");
    EXPECT_THROW(list.Add(30, "y"), std::length_error);
    EXPECT_EQ(ParamItemList().ValueAt(3), 0);
    EXPECT_EQ(ParamItemList().IndexOfValue(3), 0);

    RecordingTarget t;
    Row r;
    r.Head(10, "Too long", 1).Set(5, 0).Set(6, 4).Set(8, 21);  // 21 items at cell 8 pass cell 49
    EXPECT_THROW(CreateParamControl(&t, r), std::out_of_range);
    Row ok;
    ok.Head(4, "Fits", 1).Set(5, 0).Set(6, 4).Set(7, 21);
    EXPECT_NE(CreateParamControl(&t, ok), nullptr);
}

TEST(BitLamps, NumbersLitLampsAndHitTest)
{
    RecordingTarget t;
    Row r;
    r.Head(14, "Outputs", 19).Set(5, 0).Set(6, 8).Set(7, 1).Set(9, 2).Set(10, 1);
    auto l = Build<CParamBitLamps>(t, r);
    EXPECT_EQ(l->LampNumber(0), 8);
    EXPECT_EQ(l->LampNumber(7), 1);
    l->SetValue(0x81);
    EXPECT_TRUE(l->LampLit(0));
    EXPECT_TRUE(l->LampLit(7));
    for (int i = 1; i < 7; ++i)
        EXPECT_FALSE(l->LampLit(i)) << i;
    EXPECT_EQ(l->LampImageIndex(0), 2);
    EXPECT_EQ(l->LampImageIndex(1), 3);
    l->SetValue(0x81);
    EXPECT_FALSE(l->Redrawn());  // same field: nothing drawn

    l->SetTextHeight(13);  // lamps from y 15, 10 wide, 5 apart
    EXPECT_EQ(l->ImageWidth(), 8 * 15 - 5);
    EXPECT_EQ(l->LampAt(5, 20), 0);
    EXPECT_EQ(l->LampAt(12, 20), -1);  // the gap
    EXPECT_EQ(l->LampAt(5, 10), -1);   // the numbers
    EXPECT_EQ(l->LampAt(110, 20), 7);

    t.Clear();
    l->MouseMoved(17, 20);  // lamp 1 = bit 6, clear
    l->Clicked();
    auto m = t.Take();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].msg, UM_SETOUTPUT);
    EXPECT_EQ(m[0].wParam, 6);
    EXPECT_EQ(m[0].lParam, 1);
    l->MouseMoved(2, 20);  // lamp 0 = bit 7, set
    l->Clicked();
    m = t.Take();
    EXPECT_EQ(m[0].wParam, 7);
    EXPECT_EQ(m[0].lParam, 0);
    l->MouseMoved(12, 20);
    l->Clicked();
    EXPECT_EQ(t.Size(), 0u);

    Row inputs = r;
    inputs.Set(7, 0);
    auto in = Build<CParamBitLamps>(t, inputs);
    t.Clear();
    in->MouseMoved(2, 20);
    in->Clicked();
    EXPECT_EQ(t.Size(), 0u);
}

TEST(Factory, KindsWithoutControlsAndTheMessagesOfEachKind)
{
    RecordingTarget t;
    for (int kind : {0, 2, 11, 12, 15, 16, 99, -1}) {
        Row r;
        r.Head(kind, "Nothing", 5);
        EXPECT_EQ(CreateParamControl(&t, r), nullptr) << kind;
        EXPECT_FALSE(KindCreatesControl(kind));
    }
    EXPECT_EQ(t.Size(), 0u);

    struct Case {
        int kind;
        std::vector<int> messages;
    };
    const std::vector<Case> cases = {
        {3, {}},
        {4, {UM_BINDCONTROL}},
        {5, {UM_BINDCONTROL}},
        {6, {UM_ADDPOLL, UM_BINDCONTROL}},
        {7, {UM_BINDCONTROL}},
        {8, {UM_ADDPOLL, UM_BINDCONTROL}},
        {9, {}},
        {10, {UM_BINDCONTROL}},
        {13, {UM_BINDCONTROL}},
        {14, {UM_ADDPOLL, UM_BINDCONTROL}},
    };
    for (const auto& c : cases) {
        Row r;
        r.Head(c.kind, "Row", 35).Set(5, 0).Set(6, 2);
        auto control = CreateParamControl(&t, r);
        ASSERT_NE(control, nullptr) << c.kind;
        EXPECT_EQ(control->Kind(), c.kind);
        EXPECT_TRUE(KindCreatesControl(c.kind));
        auto m = t.Take();
        ASSERT_EQ(m.size(), c.messages.size()) << c.kind;
        for (std::size_t i = 0; i < m.size(); ++i) {
            EXPECT_EQ(m[i].msg, c.messages[i]) << c.kind;
            EXPECT_EQ(m[i].wParam & 0xFFFF, 35) << c.kind;
        }
    }
}

TEST(Layout, PositionsReturnedByEachKind)
{
    RecordingTarget t;
    auto edit = CreateParamControl(&t, EditRow("E", 1, 1 | 0x20, 0, 1, 1));
    EXPECT_EQ(edit->Arrange(true, {5, 9}), (ParamPoint{5, 29}));
    EXPECT_EQ(edit->GetHeight(), 20);
    auto shown = CreateParamControl(&t, EditRow("D", 1, 1, 0, 1, 1));
    EXPECT_EQ(shown->Arrange(true, {5, 9}), (ParamPoint{5, 19}));
    auto* e = dynamic_cast<CParamControlEdit*>(edit.get());
    const auto l = e->LayoutAt({5, 9});
    EXPECT_EQ(l.valueRight, 155);
    EXPECT_EQ(l.unit, (ParamPoint{225, 9}));
    EXPECT_EQ(l.edit, (ParamPoint{160, 6}));

    Row page;
    page.Head(9, "Main", 1);
    EXPECT_EQ(CreateParamControl(&t, page)->Arrange(true, {300, 200}), (ParamPoint{5, -1}));
    Row heading;
    heading.Head(3, "Heading", 1);
    EXPECT_EQ(CreateParamControl(&t, heading)->Arrange(true, {5, 40}), (ParamPoint{5, 52}));
    Row column;
    column.Head(3, "Test Bar", 2);
    EXPECT_EQ(CreateParamControl(&t, column)->Arrange(true, {5, 400}), (ParamPoint{280, -1}));
    Row other;
    other.Head(3, "Odd", 7);
    EXPECT_EQ(CreateParamControl(&t, other)->Arrange(true, {5, 40}), (ParamPoint{5, 40}));
    Row check;
    check.Head(7, "C", 1).Set(5, 0).Set(6, 1);
    EXPECT_EQ(CreateParamControl(&t, check)->Arrange(true, {5, 40}), (ParamPoint{5, 53}));
    Row combo;
    combo.Head(10, "C", 1).Set(5, 0).Set(6, 1);
    EXPECT_EQ(CreateParamControl(&t, combo)->Arrange(true, {5, 40}), (ParamPoint{5, 60}));
}

// A setup-file value must fit its register or field as it stands; one past
// the limit would be cut to another setting.
struct FitCase {
    const char* what;
    int kind;       // control kind
    int typeOrBits;  // edits: value type; bit kinds: bit count
    std::int32_t value;
    bool fits;
};

class SetupValueFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(SetupValueFit, AtTheLimitAndOnePast)
{
    const FitCase& c = GetParam();
    test::Row row;
    if (c.kind == pckEdit) {
        row = test::EditRow("E", 5, c.typeOrBits | efEditable | efSetupFile, -1e12, 1e12, 1.0);
    } else {
        row.Head(c.kind, "B", 37).Set(5, 2).Set(6, c.typeOrBits);
        if (c.kind == pckRadioGroup || c.kind == pckCombo)
            row.Items(c.kind == pckCombo ? 8 : 7, {{0, "a"}, {1, "b"}});
    }
    auto control = CreateParamControl(nullptr, row);
    ASSERT_NE(control, nullptr) << c.what;
    EXPECT_EQ(control->SetupValueFits(c.value), c.fits) << c.what << " = " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SetupValueFit,
    ::testing::Values(FitCase{"16-bit edit, lowest", pckEdit, efInt16, -32768, true},
                      FitCase{"16-bit edit, one below", pckEdit, efInt16, -32769, false},
                      FitCase{"16-bit edit, highest", pckEdit, efInt16, 65535, true},
                      FitCase{"16-bit edit, one above", pckEdit, efInt16, 65536, false},
                      FitCase{"32-bit edit, lowest", pckEdit, efInt32, INT32_MIN, true},
                      FitCase{"32-bit edit, highest", pckEdit, efInt32, INT32_MAX, true},
                      FitCase{"check box, set", pckCheckBox, 1, 1, true},
                      FitCase{"check box, 2", pckCheckBox, 1, 2, false},
                      FitCase{"check box, -1", pckCheckBox, 1, -1, false},
                      FitCase{"5-bit radio group, 31", pckRadioGroup, 5, 31, true},
                      FitCase{"5-bit radio group, 99", pckRadioGroup, 5, 99, false},
                      FitCase{"3-bit combo, 7", pckCombo, 3, 7, true},
                      FitCase{"3-bit combo, 8", pckCombo, 3, 8, false}));
