// Two data files compared by what they mean (tools/diff): snapshots taken
// from the loaded database, the differences of each kind in their order, and
// memory that runs out.
#include <string>
#include <vector>

#include "support/failmalloc.h"
#include "support/testutil.h"
#include "tools/diff/diff.h"

namespace {

const char kBody[] = "hdr=25.175mHz\nhsp=96\nhbp=48\nhad=640\nhfp=16\nhco=0\nhp =negative\n"
                     "vlr=60Hz\nvsp=2\nvbp=33\nvad=480\nvfp=10\nvco=0\nvp =negative\n";

// Generic lists three resolutions, Other one; every block has the same body.
std::string File(const std::string &head, const std::string &monitors,
                 const std::string &body = kBody) {
    std::string text = head + "\n" + monitors + "\n";
    for (const char *id : {"T0:640x480x60", "T1:800x600x60", "T2:1024x768x60", "T3:640X480x60"})
        text += "[" + std::string(id) + "]\n" + body + "\n";
    return text;
}
const char kHead[] = "MemSize=2\nMemConfig=1\nDefMode=640x480\n";
const char kMonitors[] = "[M0]\nname=Generic\nt=T0:640x480x60\nt=T1:800x600x60\n"
                         "t=T2:1024x768x60\n\n[M1]\nname=Other\nt=T0:640x480x60\n";

// A difference in a few words: what, the monitor, the resolution (#n after
// the first listing), the field and OLD>NEW, "-" for none.
void Collect(void *context, const Tag_Diff_Item *item) {
    static const char *const kWhat[] = {"variable", "monitor+", "monitor-", "name",
                                        "mode+",    "mode-",    "position", "field"};
    auto text = [](const char *value) { return std::string(value != nullptr ? value : "-"); };
    std::string line = kWhat[static_cast<int32_t>(item->what)];
    if (item->what == Diff_What::kVariable)
        line += std::string(" ") + GetDiffVariableName(item->variable);
    else
        line += " " + text(item->monitor);
    if (item->resolution != nullptr)
        line += " " + text(item->resolution) +
                (item->occurrence > 1 ? "#" + std::to_string(item->occurrence) : "");
    if (item->what == Diff_What::kField)
        line += std::string(" ") + timing_field_keys[item->field];
    if (item->old_value != nullptr || item->new_value != nullptr)
        line += " " + text(item->old_value) + ">" + text(item->new_value);
    static_cast<std::vector<std::string> *>(context)->push_back(line);
}

class DiffFile : public FreshDatabase {
  protected:
    // The snapshot of a file's text.
    void Take(const std::string &text, Tag_Diff_Snapshot *snapshot) {
        ResDatReset();
        ASSERT_TRUE(LoadText(dir, text)) << GetResDatErrDetail();
        ASSERT_TRUE(TakeDiffSnapshot(snapshot));
        ResDatReset();
    }
    std::vector<std::string> Compare(const std::string &a, const std::string &b) {
        Tag_Diff_Snapshot old_file, new_file;
        Take(a, &old_file);
        Take(b, &new_file);
        std::vector<std::string> found;
        EXPECT_TRUE(CompareDiffSnapshots(&old_file, &new_file, Collect, &found));
        FreeDiffSnapshot(&old_file);
        FreeDiffSnapshot(&new_file);
        return found;
    }
    ScratchDir dir;
};

TEST_F(DiffFile, EachKindOfDifferenceInItsOrder) {
    const std::string base = File(kHead, kMonitors);
    std::string respelt = kBody; // other spellings, keys in another order
    respelt.replace(0, 14, "; clock\nhdr = 25.175 MHz\n");
    respelt.replace(respelt.find("hfp=16\nhco=0\n"), 13, "hco=0\nhfp=16\n");
    std::string changed = kBody;
    changed.replace(changed.find("hp =negative"), 12, "hp =positive");
    changed.replace(changed.find("vfp=10\n"), 7, "");
    changed.replace(0, 13, "hdr=25.2");
    const struct {
        std::string b;
        std::vector<std::string> found;
    } rows[] = {
        {File("; a comment\nMemConfig=1\nMemSize = 2\nDefMode=640x480\n", kMonitors, respelt), {}},
        {File("BusType=PCI\nMemSize=1\nMemConfig=1\nDefMode=640x480\n", kMonitors),
         {"variable BusType ->PCI", "variable MemSize 2>1"}},
        {File(kHead, "[M0]\nname=GENERIC\nt=T0:640x480x60\nt=T1:800x600x60\nt=T2:1024x768x60\n"
                     "\n[M1]\nname=New\nt=T0:640x480x60\n"),
         {"name Generic Generic>GENERIC", "monitor- Other", "monitor+ New"}},
        {File(kHead, "[M0]\nname=Generic\nt=T2:1024x768x60\nt=T0:640x480x60\nt=T3:640X480x60\n"
                     "\n[M1]\nname=Other\nt=T0:640x480x60\n"),
         {"mode- Generic 800x600x60", "position Generic 640x480x60 1>2",
          "mode+ Generic 640X480x60#2"}},
        {File(kHead, kMonitors, changed),
         {"field Generic 640x480x60 hdr 25.175mHz>25.200mHz",
          "field Generic 640x480x60 hp negative>positive", "field Generic 640x480x60 vfp 10>-",
          "field Generic 800x600x60 hdr 25.175mHz>25.200mHz",
          "field Generic 800x600x60 hp negative>positive", "field Generic 800x600x60 vfp 10>-",
          "field Generic 1024x768x60 hdr 25.175mHz>25.200mHz",
          "field Generic 1024x768x60 hp negative>positive", "field Generic 1024x768x60 vfp 10>-",
          "field Other 640x480x60 hdr 25.175mHz>25.200mHz",
          "field Other 640x480x60 hp negative>positive", "field Other 640x480x60 vfp 10>-"}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Compare(base, row.b), row.found) << row.b;
}

// A resolution put first moves no other; its twin listed twice is told by
// its occurrence.
TEST_F(DiffFile, AnInsertionMovesNothing) {
    const std::string a = File(kHead, "[M0]\nname=A\nt=T0:640x480x60\nt=T1:800x600x60\n");
    const std::string b =
        File(kHead, "[M0]\nname=A\nt=T2:1024x768x60\nt=T0:640x480x60\nt=T1:800x600x60\n"
                    "t=T3:640X480x60\n");
    EXPECT_EQ(Compare(a, b),
              (std::vector<std::string>{"mode+ A 1024x768x60", "mode+ A 640X480x60#2"}));
    EXPECT_EQ(Compare(b, a),
              (std::vector<std::string>{"mode- A 1024x768x60", "mode- A 640X480x60#2"}));
}

// Each allocation that fails: false, nothing given to the sink, nothing left
// allocated (the sanitizers' build finds a leak).
TEST_F(DiffFile, MemoryThatRunsOutLeavesNothing) {
    Tag_Diff_Snapshot old_file;
    Take(File(kHead, kMonitors), &old_file);
    ASSERT_TRUE(LoadText(dir, File("MemSize=1\nMemConfig=1\nDefMode=640x480\n", kMonitors)));
    // The sink only counts: what it would allocate would fail too (on Windows
    // the C++ runtime's allocations go through the same malloc).
    auto count = [](void *context, const Tag_Diff_Item *) { ++*static_cast<size_t *>(context); };
    long failures = 1;
    for (long n = 1; failures > 0; ++n) {
        Tag_Diff_Snapshot new_file;
        size_t found = 0;
        bool done = false;
        {
            FailMallocScope scope(n, false);
            done = TakeDiffSnapshot(&new_file) &&
                   CompareDiffSnapshots(&old_file, &new_file, count, &found);
            failures = FailMallocFailures();
        }
        EXPECT_EQ(done, failures == 0) << n;
        EXPECT_EQ(found, done ? 1u : 0u) << n;
        FreeDiffSnapshot(&new_file);
    }
    FreeDiffSnapshot(&old_file);
}

} // namespace
