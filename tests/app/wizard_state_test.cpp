// The wizard's transitions: every place the wizard can stand, every event,
// what each one leaves or why it is refused.

#include "app/wizard_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace vellumar::test {
namespace {

// Where the wizard can stand, reached through transitions only.
struct Place {
    const char* name;
    std::function<void(WizardState&)> reach;
};

void gate(WizardState& state) {
    ASSERT_EQ(state.passGate(), Refused::none);
}
void select(WizardState& state, Option option) {
    gate(state);
    ASSERT_EQ(state.choose(option), Refused::none);
}
void target(WizardState& state, Option option = Option::OptDecFiles) {
    select(state, option);
    ASSERT_EQ(state.next(), Refused::none);
}

const Place kPlaces[] = {
    {"password", [](WizardState&) {}},
    {"about over password", [](WizardState& s) { ASSERT_EQ(s.showAbout(), Refused::none); }},
    {"select, nothing chosen", gate},
    {"select, Decrypt File(s) chosen", [](WizardState& s) { select(s, Option::OptDecFiles); }},
    {"about over select",
     [](WizardState& s) {
         select(s, Option::OptDecFiles);
         ASSERT_EQ(s.showAbout(), Refused::none);
     }},
    {"target", [](WizardState& s) { target(s); }},
    {"about over target",
     [](WizardState& s) {
         target(s);
         ASSERT_EQ(s.showAbout(), Refused::none);
     }},
    {"run",
     [](WizardState& s) {
         target(s);
         ASSERT_EQ(s.startRun(true), Refused::none);
     }},
};

struct Event {
    const char* name;
    std::function<Refused(WizardState&)> apply;
};

const Event kEvents[] = {
    {"gate", [](WizardState& s) { return s.passGate(); }},
    {"choose Decrypt a Folder", [](WizardState& s) { return s.choose(Option::OptDecFolder); }},
    {"next", [](WizardState& s) { return s.next(); }},
    {"back", [](WizardState& s) { return s.back(); }},
    {"paths for Encrypt File(s)",
     [](WizardState& s) { return s.openTargetPage(Option::OptEncFiles); }},
    {"about", [](WizardState& s) { return s.showAbout(); }},
    {"about OK", [](WizardState& s) { return s.closeAbout(); }},
    {"add", [](WizardState& s) { return s.mayEditTargets(); }},
    {"find locked items", [](WizardState& s) { return s.mayChangeFiles(); }},
    {"run, nothing listed", [](WizardState& s) { return s.startRun(false); }},
    {"run", [](WizardState& s) { return s.startRun(true); }},
    {"run ends", [](WizardState& s) { return s.endRun(); }},
};

// What an applied event leaves: the page in front, the choice, the
// operation, the gate and the run.
struct After {
    Page page;
    Option choice, operation;
    bool gate, running;
    bool operator==(const After&) const = default;
};

After afterOf(const WizardState& s) {
    return {s.page(), s.choice(), s.operation(), s.gatePassed(), s.running()};
}

std::string describe(const After& a) {
    return "page " + std::to_string(static_cast<int>(a.page)) + ", choice " +
           std::to_string(static_cast<int>(a.choice)) + ", operation " +
           std::to_string(static_cast<int>(a.operation)) + (a.gate ? ", gate" : "") +
           (a.running ? ", running" : "");
}

// Rows: the places; columns: the events, in the order of kEvents. A refusal
// leaves the state exactly as it was.
struct Outcome {
    Refused refused;
    After after;  // read only when applied
};

constexpr Option kNone = Option::none;
constexpr Option kDecFiles = Option::OptDecFiles;
constexpr Option kDecFolder = Option::OptDecFolder;
constexpr Option kEncFiles = Option::OptEncFiles;
constexpr Page kPassword = Page::fraPassword;
constexpr Page kSelect = Page::fraSelect;
constexpr Page kAbout = Page::fraAbout;
constexpr Page kTarget = Page::fraResult;
constexpr Refused kOk = Refused::none;
constexpr Refused kGate = Refused::gateClosed;
constexpr Refused kRun = Refused::runInProgress;
constexpr Refused kPage = Refused::wrongPage;
constexpr Refused kNothing = Refused::nothingChosen;
constexpr Refused kEmpty = Refused::nothingToRun;
const After kSame{};  // a refusal: compared with the state before instead

TEST(WizardState, EveryEventInEveryPlace) {
    const std::vector<std::vector<Outcome>> table = {
        // password
        {{kOk, {kSelect, kNone, kNone, true, false}},
         {kGate, kSame},
         {kGate, kSame},
         {kPage, kSame},
         {kGate, kSame},
         {kOk, {kAbout, kNone, kNone, false, false}},
         {kPage, kSame},
         {kGate, kSame},
         {kGate, kSame},
         {kGate, kSame},
         {kGate, kSame},
         {kPage, kSame}},
        // about over password: the gate's answer may land meanwhile
        {{kOk, {kSelect, kNone, kNone, true, false}},
         {kGate, kSame},
         {kGate, kSame},
         {kPage, kSame},
         {kGate, kSame},
         {kOk, {kAbout, kNone, kNone, false, false}},
         {kOk, {kPassword, kNone, kNone, false, false}},
         {kGate, kSame},
         {kGate, kSame},
         {kGate, kSame},
         {kGate, kSame},
         {kPage, kSame}},
        // select, nothing chosen: Next stays (no placeholder page)
        {{kPage, kSame},
         {kOk, {kSelect, kDecFolder, kNone, true, false}},
         {kNothing, kSame},
         {kPage, kSame},
         {kOk, {kTarget, kEncFiles, kEncFiles, true, false}},
         {kOk, {kAbout, kNone, kNone, true, false}},
         {kPage, kSame},
         {kPage, kSame},
         {kOk, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kPage, kSame}},
        // select, Decrypt File(s) chosen
        {{kPage, kSame},
         {kOk, {kSelect, kDecFolder, kNone, true, false}},
         {kOk, {kTarget, kDecFiles, kDecFiles, true, false}},
         {kPage, kSame},
         {kOk, {kTarget, kEncFiles, kEncFiles, true, false}},
         {kOk, {kAbout, kDecFiles, kNone, true, false}},
         {kPage, kSame},
         {kPage, kSame},
         {kOk, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kPage, kSame}},
        // about over select: the option buttons lie under it
        {{kPage, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kOk, {kTarget, kEncFiles, kEncFiles, true, false}},
         {kOk, kSame},
         {kOk, {kSelect, kDecFiles, kNone, true, false}},
         {kPage, kSame},
         {kOk, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kPage, kSame}},
        // target of Decrypt File(s): a late option click changes nothing
        {{kPage, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kOk, {kSelect, kDecFiles, kNone, true, false}},
         {kOk, {kTarget, kEncFiles, kEncFiles, true, false}},
         {kOk, {kAbout, kDecFiles, kDecFiles, true, false}},
         {kPage, kSame},
         {kOk, kSame},
         {kOk, kSame},
         {kEmpty, kSame},
         {kOk, {kTarget, kDecFiles, kDecFiles, true, true}},
         {kPage, kSame}},
        // about over target: its buttons lie under it
        {{kPage, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kOk, {kTarget, kEncFiles, kEncFiles, true, false}},
         {kOk, kSame},
         {kOk, {kTarget, kDecFiles, kDecFiles, true, false}},
         {kPage, kSame},
         {kOk, kSame},
         {kPage, kSame},
         {kPage, kSame},
         {kPage, kSame}},
        // run: only its end acts
        {{kPage, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kRun, kSame},
         {kOk, {kSelect, kDecFiles, kNone, true, false}}},
    };
    ASSERT_EQ(table.size(), std::size(kPlaces));
    for (size_t p = 0; p < table.size(); ++p) {
        ASSERT_EQ(table[p].size(), std::size(kEvents)) << kPlaces[p].name;
        for (size_t e = 0; e < table[p].size(); ++e) {
            SCOPED_TRACE(std::string(kPlaces[p].name) + " / " + kEvents[e].name);
            WizardState state;
            kPlaces[p].reach(state);
            const After before = afterOf(state);
            const std::vector<Page> stackBefore = state.stack();
            const Outcome& expected = table[p][e];
            EXPECT_EQ(kEvents[e].apply(state), expected.refused);
            const After& wanted =
                expected.refused != kOk || expected.after == kSame ? before : expected.after;
            EXPECT_EQ(afterOf(state), wanted) << describe(afterOf(state));
            if (expected.refused != kOk) {
                EXPECT_EQ(state.stack(), stackBefore);
            }
        }
    }
}

// The page in front and the operation that runs never differ, whatever
// order the events come in.
TEST(WizardState, TheOperationIsAlwaysThatOfTheTargetPageInFront) {
    const std::vector<std::function<Refused(WizardState&)>> steps = {
        [](WizardState& s) { return s.choose(Option::OptDecFiles); },
        [](WizardState& s) { return s.next(); },
        [](WizardState& s) { return s.choose(Option::OptDecFolder); },  // the late Alt letter
        [](WizardState& s) { return s.showAbout(); },
        [](WizardState& s) { return s.choose(Option::OptEncFolder); },
        [](WizardState& s) { return s.closeAbout(); },
        [](WizardState& s) { return s.startRun(true); },
        [](WizardState& s) { return s.back(); },
        [](WizardState& s) { return s.endRun(); },
        [](WizardState& s) { return s.choose(Option::OptEncFolder); },
        [](WizardState& s) { return s.next(); },
    };
    WizardState state;
    gate(state);
    for (size_t n = 0; n < steps.size(); ++n) {
        steps[n](state);
        SCOPED_TRACE(n);
        if (state.page() == Page::fraResult) {
            EXPECT_NE(state.operation(), Option::none);
        }
        if (state.page() == Page::fraSelect) {
            EXPECT_EQ(state.operation(), Option::none);
        }
        if (n == 2) {
            EXPECT_EQ(state.operation(), Option::OptDecFiles);
        }
    }
    EXPECT_EQ(state.operation(), Option::OptEncFolder);
}

}  // namespace
}  // namespace vellumar::test
