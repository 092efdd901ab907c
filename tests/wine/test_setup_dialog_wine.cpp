// orvexsetup's dialog under Wine, on the X display DISPLAY names (a private
// Xvfb: scripts/test-setup-dialog.sh starts it, and the wineserver on it).
// Each case sets up the data file and the device key as an end-to-end case
// does (wine/wine_case.h), starts orvexsetup.exe without options, finds the
// dialog by its caption, reads what it shows with the helper e2e_dialog.exe
// (list items, selection, static text, radio buttons, and where each control
// is on the screen), changes the choice with real mouse clicks (xdotool),
// ends the dialog with OK, Cancel, Escape or Alt+F4, and checks the exit code,
// the message boxes (Wine's relay trace) and the device key afterwards.
// ORVEX_DIALOG_PNG, when set, names the PNG the first case captures the dialog
// in once the choice is made. ORVEX_SETUP_EXE names another orvexsetup.exe.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "e2e/cases.h"
#include "support/testutil.h"
#include "wine/wine_case.h"
#include "wine/wine_process.h"

namespace {

const char kCaption[] = "Additional Information";
const int kMemory1 = 104, kMemory2 = 105, kSmall = 113, kBig = 114;

// What the dialog shows of the choice.
struct Shown {
    std::string monitor; // the selected item and the static text
    int memory;          // the checked one of kMemory1, kMemory2
    int font;            // the checked one of kSmall, kBig
};

// One thing done on the display: a click on a list item (by its text) or on a
// control (by id), or a key pressed.
struct Step {
    enum Kind { kClickItem, kClickControl, kKey } kind;
    std::string what; // item text or key name
    int id = 0;
};
Step ClickItem(const std::string &text) {
    return {Step::kClickItem, text, 0};
}
Step Click(int id) {
    return {Step::kClickControl, "", id};
}
Step Press(const std::string &key) {
    return {Step::kKey, key, 0};
}

struct DialogCase {
    explicit DialogCase(const e2e::Case &c) : setup(c) {}
    e2e::Case setup; // set-up and expectations after the dialog
    Shown preselected;
    std::vector<Step> choose;
    Shown chosen;
    Step close = Press("Escape");
    bool answer_message = false; // a box captioned "Message" follows OK
    bool whole_key = false;      // Case::after is every value of the key
    bool capture = false;        // the screenshot is taken here
};

void PrintTo(const DialogCase &c, std::ostream *os) {
    *os << c.setup.name;
}

std::vector<DialogCase> DialogCases() {
    using namespace e2e;
    const std::vector<Value> d72 = Defaults(640, 480, 72);
    const std::string mem1 = Header("BusType = VESA\n", "MemAddr = 8000\n", "MemSize = 1\n");
    const std::string mem4 = Header("BusType = VESA\n", "MemAddr = 8000\n", "MemSize = 4\n");
    std::vector<DialogCase> cases;
    cases.reserve(5); // the references below stay valid

    DialogCase &c0 = cases.emplace_back(
        Case("OkInstallsTheChoice")
            .Dat(SetupDat())
            .Before(With(d72, {Sz("MonitorType", "Generic"), Dword("FontSize", 0)}))
            .Exit(1)
            .After(With(With(SetupSettings(kProView, 1, 1), {Crt60()}), d72)));
    c0.preselected = {"Generic", kMemory2, kSmall};
    c0.choose = {ClickItem(kProView), Click(kMemory1), Click(kBig)};
    c0.chosen = {kProView, kMemory1, kBig};
    c0.close = Click(1); // IDOK
    c0.whole_key = true;
    c0.capture = true;

    // The key's monitor (found ignoring case) and font, the file's 1 Meg.
    DialogCase &c1 = cases.emplace_back(Case("PreselectedFromTheKeyThenCancel")
                                            .Dat(SetupDat(mem1))
                                            .Before(With(d72, {Sz("MonitorType", "ORVEX \xC9"
                                                                                 "CRAN 17"),
                                                               Dword("FontSize", 1)}))
                                            .Exit(0)
                                            .Untouched());
    c1.preselected = {kEcran, kMemory1, kBig};
    c1.choose = {ClickItem(kZeta), Click(kSmall)};
    c1.chosen = {kZeta, kMemory1, kSmall};
    c1.close = Click(2); // IDCANCEL

    // A monitor the file lacks: Generic; MemSize 4: 2 Meg; FontSize 2: Small.
    DialogCase &c2 = cases.emplace_back(
        Case("UnknownMonitorTypeGivesGenericThenEscape")
            .Dat(SetupDat(mem4))
            .Before(With(d72, {Sz("MonitorType", "Orvex ProView 19"), Dword("FontSize", 2)}))
            .Exit(0)
            .Untouched());
    c2.preselected = {"Generic", kMemory2, kSmall};
    c2.choose = {Click(kMemory1), Click(kBig)};
    c2.chosen = {"Generic", kMemory1, kBig};
    c2.close = Press("Escape");

    DialogCase &c3 = cases.emplace_back(Case("WithoutGenericTheFirstMonitorThenClose")
                                            .Dat(SetupDat(Header(), false))
                                            .Before(d72)
                                            .Exit(0)
                                            .Untouched());
    c3.preselected = {kProView, kMemory2, kSmall};
    c3.chosen = c3.preselected;
    c3.close = Press("alt+F4");

    // The key cannot be read: the dialog opens all the same; OK reports the
    // failure to open it as the installer does.
    DialogCase &c4 = cases.emplace_back(
        Case("KeyMissingOkReportsIt")
            .Dat(SetupDat())
            .KeyIs(Key::kMissing)
            .Exit(1)
            .Message("Message: Error: Unable to open key\nRegOpenKey = 2\nLine = 405")
            .Untouched());
    c4.preselected = {"Generic", kMemory2, kSmall};
    c4.choose = {ClickItem(kEcran)};
    c4.chosen = {kEcran, kMemory2, kSmall};
    c4.close = Click(1);
    c4.answer_message = true;
    return cases;
}

// The dialog as e2e_dialog reads it.
struct Probe {
    bool ok = false;
    std::vector<std::string> items;
    int selected = -1;
    std::string text;
    std::map<int, int> checked;                  // id -> 0 or 1
    std::map<int, std::pair<int, int>> controls; // id -> centre on the screen
    std::vector<std::pair<int, int>> item_centres;
    std::string raw;
};

Probe ParseProbe(const std::string &out) {
    Probe p;
    p.raw = winetest::WithoutCr(out);
    size_t start = 0;
    while (start < p.raw.size()) {
        size_t end = p.raw.find('\n', start);
        if (end == std::string::npos)
            break;
        std::string line = p.raw.substr(start, end - start);
        start = end + 1;
        auto rest = [&](size_t n) { return line.size() > n ? line.substr(n) : std::string(); };
        int a = 0, b = 0, c = 0;
        if (line.rfind("item ", 0) == 0) {
            size_t blank = line.find(' ', 5);
            p.items.push_back(blank == std::string::npos ? "" : line.substr(blank + 1));
        } else if (sscanf(line.c_str(), "selected %d", &a) == 1) {
            p.selected = a;
        } else if (line.rfind("text ", 0) == 0 || line == "text") {
            p.text = rest(5);
        } else if (sscanf(line.c_str(), "checked %d %d", &a, &b) == 2) {
            p.checked[a] = b;
        } else if (sscanf(line.c_str(), "at-item %d %d %d", &a, &b, &c) == 3) {
            p.item_centres.resize(std::max<size_t>(p.item_centres.size(), a + 1));
            p.item_centres[a] = {b, c};
        } else if (sscanf(line.c_str(), "at %d %d %d", &a, &b, &c) == 3) {
            p.controls[a] = {b, c};
        } else if (line == "end") {
            p.ok = start == p.raw.size();
        }
    }
    return p;
}

// The choice a probe shows; memory or font 0 when not exactly one is checked.
Shown ShownBy(const Probe &p) {
    Shown s;
    s.monitor = p.selected >= 0 && static_cast<size_t>(p.selected) < p.items.size()
                    ? p.items[p.selected]
                    : "(no selection)";
    if (p.text != s.monitor)
        s.monitor += " | static text: " + p.text;
    auto one_of = [&](int first, int second) {
        int a = p.checked.count(first) ? p.checked.at(first) : 0;
        int b = p.checked.count(second) ? p.checked.at(second) : 0;
        return a + b != 1 ? 0 : a ? first : second;
    };
    s.memory = one_of(kMemory1, kMemory2);
    s.font = one_of(kSmall, kBig);
    return s;
}

bool operator==(const Shown &a, const Shown &b) {
    return a.monitor == b.monitor && a.memory == b.memory && a.font == b.font;
}
std::ostream &operator<<(std::ostream &os, const Shown &s) {
    return os << "{" << s.monitor << ", " << s.memory << ", " << s.font << "}";
}

class SetupDialog : public ::testing::TestWithParam<DialogCase> {
  protected:
    void SetUp() override {
        const char *display = getenv("DISPLAY");
        if (display == nullptr || *display == '\0')
            GTEST_SKIP() << "needs a display (scripts/test-setup-dialog.sh)";
        env = {{"DISPLAY", display}};
    }
    void TearDown() override {
        if (running.pid > 0)
            winetest::Finish(&running, 0); // kills it
    }

    winetest::Process Tool(const std::vector<std::string> &argv) {
        return winetest::Run(argv, dir.path(), env, 30);
    }
    Probe ReadDialog() {
        winetest::Process p = winetest::RunWine("tests/wine/e2e_dialog.exe", {}, dir.path(), env);
        return p.exit_code == 0 ? ParseProbe(p.out) : Probe{};
    }
    // The dialog once it shows `expected` (events take a moment to arrive),
    // or as it last stood after a few seconds.
    Probe AwaitDialog(const Shown &expected) {
        Probe probe;
        for (int i = 0; i < 50; ++i) {
            probe = ReadDialog();
            if (probe.ok && ShownBy(probe) == expected)
                break;
            usleep(100000);
        }
        return probe;
    }
    // The X window of a visible top-level window of that caption, or "".
    std::string FindWindow(const std::string &caption) {
        for (int i = 0; i < 200; ++i) {
            winetest::Process found =
                Tool({"xdotool", "search", "--onlyvisible", "--name", "^" + caption + "$"});
            std::string id = found.out.substr(0, found.out.find('\n'));
            if (found.exit_code == 0 && !id.empty())
                return id;
            if (waitpid(running.pid, nullptr, WNOHANG) != 0)
                return ""; // the program has ended
            usleep(100000);
        }
        return "";
    }
    // Keys go through the X server as typed ones (XTEST) to the window with
    // the input focus, given to `window` first: keys sent to a window
    // directly may leave Wine with a key held down when the window closes on
    // the press.
    void Type(const std::string &window, const std::string &keys) {
        winetest::Process focus = Tool({"xdotool", "windowfocus", window});
        EXPECT_EQ(focus.exit_code, 0) << focus.err;
        usleep(200000);
        // The press may close the window before the release: the exit code,
        // the key and the ended program tell whether it did.
        Tool({"xdotool", "key", keys});
    }
    void Do(const Step &step, const Probe &where, const std::string &window) {
        std::pair<int, int> at{-1, -1};
        if (step.kind == Step::kKey) {
            Type(window, step.what);
            return;
        }
        if (step.kind == Step::kClickItem) {
            auto item = std::find(where.items.begin(), where.items.end(), step.what);
            ASSERT_NE(item, where.items.end()) << "no item " << step.what;
            size_t index = item - where.items.begin();
            ASSERT_LT(index, where.item_centres.size()) << where.raw;
            at = where.item_centres[index];
        } else {
            ASSERT_EQ(where.controls.count(step.id), 1u) << "control " << step.id << where.raw;
            at = where.controls.at(step.id);
        }
        winetest::Process click = Tool({"xdotool", "mousemove", std::to_string(at.first),
                                        std::to_string(at.second), "click", "1"});
        EXPECT_EQ(click.exit_code, 0) << click.err;
    }

    ScratchDir dir;
    winetest::Environment env;
    winetest::Started running;
};

TEST_P(SetupDialog, Case) {
    const DialogCase &c = GetParam();
    std::string before;
    ASSERT_NO_FATAL_FAILURE(winetest::PrepareCase(c.setup, dir.path(), env, &before));

    winetest::Environment run_env = env;
    run_env.push_back({"WINEDEBUG", "-all,+relay"});
    std::string setup = winetest::Program("ORVEX_SETUP_EXE", "install/orvexsetup.exe");
    running = winetest::Start(winetest::WineCommand(setup, {}), dir.path(),
                              winetest::WineEnvironment(run_env));
    ASSERT_GT(running.pid, 0) << running.error;
    std::string window = FindWindow(kCaption);
    if (window.empty()) {
        winetest::Process ended = winetest::Finish(&running, 5);
        FAIL() << "no dialog \"" << kCaption << "\" appeared; exit " << ended.exit_code << "\n"
               << ended.err.substr(0, 2000);
    }

    // Every monitor of the file, in the list box's own order.
    Probe probe = AwaitDialog(c.preselected);
    ASSERT_TRUE(probe.ok) << probe.raw;
    std::vector<std::string> items = probe.items;
    std::vector<std::string> monitors = {e2e::kProView, e2e::kZeta, e2e::kEcran};
    if (c.setup.dat.find("name=Generic") != std::string::npos)
        monitors.push_back("Generic");
    std::sort(items.begin(), items.end());
    std::sort(monitors.begin(), monitors.end());
    EXPECT_EQ(items, monitors) << probe.raw;
    EXPECT_EQ(ShownBy(probe), c.preselected) << "preselection\n" << probe.raw;

    for (const Step &step : c.choose)
        ASSERT_NO_FATAL_FAILURE(Do(step, probe, window));
    probe = AwaitDialog(c.chosen);
    EXPECT_EQ(ShownBy(probe), c.chosen) << "after the clicks\n" << probe.raw;

    const char *png = getenv("ORVEX_DIALOG_PNG");
    if (c.capture && png != nullptr && *png != '\0') {
        winetest::Process shot =
            Tool({"sh", "-c", "xwd -id \"$1\" -silent | /usr/bin/convert xwd:- \"$2\"", "sh",
                  window, png});
        EXPECT_EQ(shot.exit_code, 0) << shot.err;
    }

    ASSERT_NO_FATAL_FAILURE(Do(c.close, probe, window));
    if (c.answer_message) {
        std::string box = FindWindow("Message");
        ASSERT_FALSE(box.empty()) << "no message box after OK";
        Type(box, "Return");
    }
    winetest::Process run = winetest::Finish(&running, 30);
    ASSERT_FALSE(run.timed_out) << "orvexsetup did not end";
    EXPECT_EQ(run.exit_code, c.setup.exit_code);
    EXPECT_EQ(winetest::MessageBoxes(run.err), c.setup.messages);

    winetest::KeyDump after;
    winetest::CheckKeyAfter(c.setup, before, dir.path(), env, &after);
    if (c.whole_key) {
        std::map<std::string, std::string> expected;
        for (const e2e::Value &v : c.setup.after)
            expected[v.name] = winetest::RegKeyLine(v);
        EXPECT_EQ(after.lines, expected) << "every value of the key, by type and bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Wine, SetupDialog, ::testing::ValuesIn(DialogCases()),
                         [](const ::testing::TestParamInfo<DialogCase> &info) {
                             return std::string(info.param.setup.name);
                         });

} // namespace
