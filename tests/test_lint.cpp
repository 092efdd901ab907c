// The lint rules: one block or file per rule, and the line each finding names.
#include <algorithm>
#include <string>
#include <vector>

#include "support/testutil.h"
#include "tools/lint/lint.h"

namespace {

const char kClean[] = "hdr=25.175mHz\nhsp=96\nhbp=48\nhad=640\nhfp=16\nhco=0\nhp =negative\n"
                      "vlr=60Hz\nvsp=2\nvbp=33\nvad=480\nvfp=10\nvco=0\nvp =negative\n";

// The clean block with one line replaced (line from 1), or with a line put
// before it (insert true).
std::string Edited(int line, const std::string &text, bool insert = false);

// n lines that are neither "key=value" lines nor comments.
std::string Junk(int n) {
    std::string lines;
    for (int i = 0; i < n; ++i)
        lines += (i > 0 ? "\n" : "") + std::string("junk");
    return lines;
}

std::string Edited(int line, const std::string &text, bool insert) {
    std::string block = kClean;
    size_t start = 0;
    for (int n = 1; n < line; ++n)
        start = block.find('\n', start) + 1;
    size_t end = insert ? start : block.find('\n', start) + 1;
    return block.substr(0, start) + text + "\n" + block.substr(end);
}

struct Found {
    Lint_Rule rule;
    int32_t line;
    std::string text;
};

void Collect(void *context, const Tag_Lint_Finding *finding) {
    static_cast<std::vector<Found> *>(context)->push_back(
        Found{finding->rule, finding->line, finding->text});
}

std::vector<Found> LintBlock(const std::string &text, const char *range = nullptr) {
    std::vector<Found> found;
    Tag_Lint_Range limits;
    if (range != nullptr && !ParseLintRange(range, &limits, nullptr))
        ADD_FAILURE() << "range " << range;
    // The header on file line 10: block line n is file line 10 + n.
    Tag_Lint_Block block{text.c_str(), "640x480", "60", 10};
    LintTimingBlock(&block, range != nullptr ? &limits : nullptr, Collect, &found);
    return found;
}

struct RuleCase {
    const char *name;
    std::string block;
    const char *range;
    Lint_Rule rule;
    int32_t line;      // file line
    const char *words; // a part of the sentence
};

void PrintTo(const RuleCase &c, std::ostream *os) {
    *os << c.name;
}

class EachRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(EachRule, FindsTheFaultAtItsLine) {
    const RuleCase &c = GetParam();
    std::vector<Found> found = LintBlock(c.block, c.range);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(kLintRules[found[0].rule].name, std::string(kLintRules[c.rule].name));
    EXPECT_EQ(found[0].line, c.line);
    EXPECT_NE(found[0].text.find(c.words), std::string::npos) << found[0].text;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, EachRule,
    ::testing::Values(
        RuleCase{"CommentWithEqualsShiftsTheSlots", Edited(3, "; hbp=48 was 50", true), nullptr,
                 kRuleSlotShift, 13, "slot 2 (hbp)"},
        RuleCase{"KeysOutOfOrder", Edited(3, "hsp=96").replace(0, 21, "hdr=25.175mHz\nhbp=48\n"),
                 nullptr, kRuleSlotShift, 12, "slot 1 (hsp)"},
        RuleCase{"BlankAfterTheEqualsOfAPolarity", Edited(7, "hp = positive"), nullptr,
                 kRuleSlotShift, 17, "as negative"},
        RuleCase{"MissingKey", Edited(5, "; no front porch"), nullptr, kRuleMissingKey, 10,
                 "no hfp line"},
        RuleCase{"DuplicateKey", Edited(15, "hsp=97", true), nullptr, kRuleDuplicateKey, 25,
                 "first on line 12"},
        RuleCase{"UnknownKey", Edited(15, "hxx=1", true), nullptr, kRuleUnknownKey, 25, "hxx=1"},
        RuleCase{"NotKeyValue", Edited(15, "640 wide", true), nullptr, kRuleNotKeyValue, 25,
                 "neither"},
        RuleCase{"BadNumber", Edited(2, "hsp=9six"), nullptr, kRuleBadNumber, 12, "whole number"},
        RuleCase{"BadClock", Edited(1, "hdr=25,175mHz"), nullptr, kRuleBadNumber, 11, "MHz"},
        RuleCase{"BadPolarity", Edited(14, "vp =neg"), nullptr, kRuleBadPolarity, 24,
                 "installer takes it as negative"},
        RuleCase{"WidthAgainstTheId", Edited(4, "had=800"), nullptr, kRuleIdMismatch, 14,
                 "width 640"},
        RuleCase{"RefreshAgainstTheId", Edited(8, "vlr=59Hz"), nullptr, kRuleIdMismatch, 18,
                 "refresh 60"},
        RuleCase{"RefreshAgainstTheClock", Edited(1, "hdr=31.500mHz"), nullptr,
                 kRuleRefreshMismatch, 18, "75.00 Hz"},
        RuleCase{"ZeroSync", Edited(9, "vsp=0"), nullptr, kRuleZeroField, 19, "zero"},
        RuleCase{"NegativePorch", Edited(3, "hbp=-48"), nullptr, kRuleZeroField, 13,
                 "negative porch"},
        RuleCase{"HorizontalFrequencyOutOfRange", kClean, "35-70,50-120,110", kRuleOutOfRange, 11,
                 "31.469 kHz"},
        RuleCase{"ClockOutOfRange", kClean, "30-70,50-120,25", kRuleOutOfRange, 11, "25.175 MHz"}),
    [](const ::testing::TestParamInfo<RuleCase> &info) { return std::string(info.param.name); });

TEST(Lint, ACleanBlockHasNoFinding) {
    EXPECT_TRUE(LintBlock(kClean).empty());
    EXPECT_TRUE(LintBlock(kClean, "30-70,50-120,110").empty());
}

// Lines beyond those shown are counted in an error of their own: they may
// hold errors.
TEST(Lint, FaultyLinesBeyondThoseShownAreAnError) {
    std::vector<Found> found = LintBlock(Edited(15, Junk(60), true));
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.back().rule, kRuleTooManyFindings);
    EXPECT_EQ(found.back().line, 10);
    EXPECT_NE(found.back().text.find("10 more faulty lines"), std::string::npos);
    EXPECT_TRUE(GetLintRule(found.back().rule).error);
}

// The README's table of rules is this table, row for row.
TEST(Lint, TheReadmesTableOfRulesIsTheTable) {
    std::string readme = ReadBytes(ORVEX_SOURCE_DIR "/README.md");
    size_t at = readme.find("| Rule | Kind | Finds |\n|---|---|---|\n");
    ASSERT_NE(at, std::string::npos);
    at = readme.find('\n', readme.find('\n', at) + 1) + 1;
    for (const Tag_Lint_Rule_Info &rule : kLintRules) {
        size_t end = readme.find('\n', at);
        EXPECT_EQ(readme.substr(at, end - at), std::string("| `") + rule.name + "` | " +
                                                   (rule.error ? "error" : "warning") + " | " +
                                                   rule.finds + " |");
        at = end + 1;
    }
    EXPECT_EQ(readme.substr(at, 1), "\n") << "no row beyond the table's";
}

TEST(Lint, RangesReadInKilohertzHertzAndMegahertz) {
    Tag_Lint_Range range;
    ASSERT_TRUE(ParseLintRange("30-70,50-120,110.5", &range, nullptr));
    EXPECT_EQ(range.h_min, 30e3);
    EXPECT_EQ(range.v_max, 120.0);
    EXPECT_EQ(range.clock_max, 110.5e6);
    const struct {
        const char *text;
        const char *fault;
    } bad[] = {{"", "not of the form"},
               {"30-70", "not of the form"},
               {"70-30,50-120,110", "horizontal minimum above maximum"},
               {"30-70,120-50,110", "vertical minimum above maximum"},
               {"30-70,50-120,110,", "not of the form"},
               {"a-b,c-d,e", "not of the form"},
               {"30-70;50-120;110", "not of the form"},
               {"30-70,50-120,0", "not above 0"}};
    for (const auto &b : bad) {
        const char *fault = "";
        EXPECT_FALSE(ParseLintRange(b.text, &range, &fault)) << b.text;
        EXPECT_NE(std::string(fault).find(b.fault), std::string::npos) << b.text << ": " << fault;
    }
}

// The database's rules, on a loaded file.
class LintFile : public FreshDatabase {
  protected:
    std::vector<Found> Lint(const std::string &text) {
        std::vector<Found> found;
        ResDatReset();
        EXPECT_TRUE(LoadText(dir, text)) << GetResDatErrDetail();
        EXPECT_TRUE(LintDatabase(nullptr, nullptr, Collect, &found));
        return found;
    }
    ScratchDir dir;
};

TEST_F(LintFile, UnusedBlockNoGenericAndDefModeMissing) {
    const std::string head = "MemSize=2\nMemConfig=1\nDefMode=800x600\n";
    std::vector<Found> found =
        Lint(head + "[M0]\nname=Other\nt=T0:640x480x60\n\n[T0:640x480x60]\n" + kClean +
             "\n[T1:640x480x72]\n" + kClean);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].rule, kRuleIdMismatch) << "the second block says vlr=60";
    EXPECT_EQ(found[1].rule, kRuleUnusedBlock);
    EXPECT_EQ(found[1].line, 24) << "the unused block's header";
    EXPECT_EQ(found[2].rule, kRuleNoGeneric);
    EXPECT_EQ(found[2].line, 0);

    found = Lint(head + "[M0]\nname=Generic\nt=T0:640x480x60\n\n[T0:640x480x60]\n" + kClean);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].rule, kRuleDefmodeMissing);
    EXPECT_EQ(found[0].line, 4) << "Generic's header";
}

TEST_F(LintFile, AResolutionListedTwiceAndADroppedLastLine) {
    // The second 640x480x60 (line 7, in other case) and the last line (39),
    // which has no line end.
    std::string text = "MemSize=2\nMemConfig=1\nDefMode=640x480\n[M0]\nname=Generic\n"
                       "t0=T0:640x480x60\nt1=T1:640X480x60\n\n[T0:640x480x60]\n" +
                       std::string(kClean) + "\n[T1:640X480x60]\n" + kClean;
    text.pop_back();
    const struct {
        Lint_Rule rule;
        int32_t line;
        const char *words;
    } expected[] = {{kRuleDuplicateMode, 7, "lists 640X480x60 again"},
                    {kRuleDuplicateMode, 7, "block T0:640x480x60"},
                    {kRuleDroppedLine, 39, "installer drops it"}};
    std::vector<Found> found = Lint(text);
    for (const auto &e : expected) {
        auto f = std::find_if(found.begin(), found.end(),
                              [&](const Found &f) { return f.rule == e.rule; });
        ASSERT_NE(f, found.end()) << GetLintRule(e.rule).name;
        EXPECT_EQ(f->line, e.line) << f->text;
        EXPECT_NE(f->text.find(e.words), std::string::npos) << f->text;
    }
}

TEST_F(LintFile, TheBundledExampleIsClean) {
    ASSERT_TRUE(ReadDatFile(ExampleDatPath().c_str()));
    std::vector<Found> found;
    ASSERT_TRUE(LintDatabase(nullptr, nullptr, Collect, &found));
    for (const Found &f : found)
        ADD_FAILURE() << f.line << ": " << f.text;
}

} // namespace
