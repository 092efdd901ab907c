// The VESA timings against the reference calculator, edid-decode, run as a
// black box: every progressive DMT mode of its list, CVT (each blanking) and
// GTF (default and other curves) over grids of sizes and rates, and every
// CTA-861 VIC. Every count must equal the reference's and the clock agree to
// 1 kHz. The reference runs in a pool of child processes.
#include <errno.h>
#include <math.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/timing_fields.h"
#include "timing/edid.h"
#include "timing/vesa.h"

extern char **environ;

namespace {

const char kReference[] = "edid-decode";
const int kParallel = 4;
const int64_t kClockToleranceHz = 1000;

bool OnPath(const char *program) {
    const char *path = getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

struct Job {
    std::vector<std::string> args; // after the program name
    std::string output;            // its standard output
    int status = -1;               // wait status
    pid_t pid = -1;
    int fd = -1;
};

void Start(Job *job) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0) << strerror(errno);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(kReference));
    for (std::string &arg : job->args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    int rc = posix_spawnp(&job->pid, kReference, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    ASSERT_EQ(rc, 0) << strerror(rc);
    job->fd = fds[0];
}

// Run every job, at most kParallel at a time, collecting standard output.
void RunAll(std::vector<Job> *jobs) {
    size_t next = 0;
    std::vector<Job *> running;
    while (next < jobs->size() || !running.empty()) {
        while (running.size() < static_cast<size_t>(kParallel) && next < jobs->size()) {
            Job *job = &(*jobs)[next++];
            Start(job);
            ASSERT_GE(job->fd, 0);
            running.push_back(job);
        }
        std::vector<pollfd> fds;
        for (Job *job : running)
            fds.push_back({job->fd, POLLIN, 0});
        ASSERT_GT(poll(fds.data(), fds.size(), 10000), 0) << "the reference hangs";
        for (size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0)
                continue;
            Job *job = running[i];
            char buf[4096];
            ssize_t n = read(job->fd, buf, sizeof buf);
            if (n > 0) {
                job->output.append(buf, static_cast<size_t>(n));
                continue;
            }
            close(job->fd);
            waitpid(job->pid, &job->status, 0);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

// The figures of one timing: size, clock, the counts named as the reference
// prints them, and the polarities. Borders are 0 where the reference shows none.
const char *const kCountNames[] = {"Hfront", "Hsync", "Hback", "Hborder", "Hpol",
                                   "Vfront", "Vsync", "Vback", "Vborder", "Vpol"};
struct Figures {
    int64_t id = -1;
    int64_t width = 0, height = 0;
    bool interlaced = false;
    double refresh = 0;
    int64_t clock_hz = 0;
    int64_t counts[10] = {}; // kCountNames; a polarity is 1 for P
};

std::string Show(const Figures &f) {
    std::string out = std::to_string(f.width) + "x" + std::to_string(f.height) + " clock " +
                      std::to_string(f.clock_hz);
    for (int i = 0; i < 10; ++i)
        out += std::string(" ") + kCountNames[i] + " " + std::to_string(f.counts[i]);
    return out;
}

// "DMT 0x05:   640x480    72.808802 Hz   4:3  ...  31.500000 MHz ..." and the
// "Hfront 16 Hsync 40 Hback 120 Hpol N Hborder 8" lines after it (of an
// interlaced mode, the first field's).
Figures ParseReference(const std::string &text) {
    Figures f;
    std::istringstream words(text);
    std::string previous, word;
    std::map<std::string, int> seen;
    while (words >> word) {
        long long width, height;
        int consumed = 0;
        if (previous == "DMT") {
            f.id = strtoll(word.c_str(), nullptr, 16);
        } else if (f.width == 0 &&
                   sscanf(word.c_str(), "%lldx%lld%n", &width, &height, &consumed) == 2) {
            f.width = width;
            f.height = height;
            f.interlaced = word.size() > static_cast<size_t>(consumed) && word[consumed] == 'i';
        } else if (word == "Hz" && f.refresh == 0) {
            f.refresh = strtod(previous.c_str(), nullptr);
        } else if (word == "MHz") {
            f.clock_hz = llround(strtod(previous.c_str(), nullptr) * 1e6);
        }
        for (int i = 0; i < 10; ++i)
            if (previous == kCountNames[i] && seen[previous]++ == 0)
                f.counts[i] = word == "P"   ? 1
                              : word == "N" ? 0
                                            : strtoll(word.c_str(), nullptr, 10);
        previous = word;
    }
    return f;
}

Figures Ours(const Tag_Video_Timing &t) {
    Figures f;
    f.width = t.h_active;
    f.height = t.v_active;
    f.clock_hz = t.clock_hz;
    const int64_t counts[10] = {t.h_front_porch, t.h_sync, t.h_back_porch, 0, t.h_sync_positive,
                                t.v_front_porch, t.v_sync, t.v_back_porch, 0, t.v_sync_positive};
    std::copy(counts, counts + 10, f.counts);
    return f;
}

Figures Ours(const Tag_Dmt_Mode &m) {
    Figures f;
    f.width = m.width;
    f.height = m.height;
    f.clock_hz = int64_t{m.clock_khz} * 1000;
    const int64_t counts[10] = {m.h_front_porch,   m.h_sync,         m.h_back_porch, m.h_border,
                                m.h_sync_positive, m.v_front_porch,  m.v_sync,       m.v_back_porch,
                                m.v_border,        m.v_sync_positive};
    std::copy(counts, counts + 10, f.counts);
    return f;
}

// "" when every count is the reference's and the clock within 1 kHz of it.
std::string Compare(const std::string &reference_output, const Figures &ours) {
    Figures theirs = ParseReference(reference_output);
    bool same = ours.width == theirs.width && ours.height == theirs.height &&
                llabs(ours.clock_hz - theirs.clock_hz) <= kClockToleranceHz &&
                std::equal(ours.counts, ours.counts + 10, theirs.counts);
    return same ? "" : "ours: " + Show(ours) + "\nreference: " + Show(theirs);
}

class VesaOracle : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!OnPath(kReference))
            FAIL() << "the reference calculator edid-decode is not on the PATH; "
                      "scripts/setup.sh installs it (Debian package edid-decode)";
    }

    // The reference's DMT list: progressive modes only.
    std::vector<Figures> ListDmts() {
        std::vector<Job> jobs(1);
        jobs[0].args = {"--list-dmts"};
        RunAll(&jobs);
        std::vector<Figures> modes;
        std::istringstream lines(jobs[0].output);
        for (std::string line; std::getline(lines, line);) {
            Figures r = ParseReference(line);
            if (r.id >= 0 && !r.interlaced)
                modes.push_back(r);
        }
        return modes;
    }
};

// Two modes the standard defines by the CVT reduced blanking formula, where
// the reference's DMT list has a total of one line less (0x43) and of two
// lines less (0x4B: front porch 2 and sync 3) than that formula gives, its own
// --cvt included. They are checked against the reference's CVT instead.
const std::map<int64_t, std::string> dmt_by_formula = {{0x43, "w=1856,h=1392,fps=120,rb=1"},
                                                       {0x4B, "w=1920,h=1440,fps=120,rb=1"}};

TEST_F(VesaOracle, EveryDmtModeById) {
    std::vector<Figures> listed = ListDmts();
    ASSERT_EQ(listed.size(), DmtModes().size()) << "progressive modes in the list";
    std::vector<Job> jobs(listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        auto formula = dmt_by_formula.find(listed[i].id);
        jobs[i].args = {"--dmt", std::to_string(listed[i].id)};
        if (formula != dmt_by_formula.end())
            jobs[i].args = {"--cvt", formula->second};
    }
    RunAll(&jobs);
    for (size_t i = 0; i < jobs.size(); ++i) {
        const Tag_Dmt_Mode *mode = FindDmtModeById(listed[i].id, nullptr);
        ASSERT_NE(mode, nullptr) << "DMT " << listed[i].id;
        EXPECT_EQ(Compare(jobs[i].output, Ours(*mode)), "")
            << "DMT " << mode->id << " (" << jobs[i].args[0] << " " << jobs[i].args[1] << ")";
    }
}

// The look-up by size and named refresh reaches every mode but the reduced
// blanking twins, which give way to the mode of the same size and rate (the
// 4096x2160 at 59.94 Hz to the one at 60), and 0x05 (72.809 Hz), named 72.
TEST_F(VesaOracle, EveryDmtModeBySizeAndRate) {
    const std::map<int64_t, int64_t> twins = {{0x16, 0x17}, {0x1B, 0x1C}, {0x29, 0x2A},
                                              {0x2E, 0x2F}, {0x39, 0x3A}, {0x44, 0x45},
                                              {0x4C, 0x4D}, {0x56, 0x51}, {0x58, 0x57}};
    std::vector<Figures> listed = ListDmts();
    ASSERT_FALSE(listed.empty());
    for (const Figures &r : listed) {
        int64_t rate = llround(r.refresh);
        const Tag_Dmt_Mode *found = FindDmtMode(r.width, r.height, rate, nullptr);
        if (r.id == 0x05) {
            EXPECT_EQ(found, nullptr) << "640x480 at 73 Hz";
            found = FindDmtMode(r.width, r.height, 72, nullptr);
        }
        auto twin = twins.find(r.id);
        int64_t expected = twin != twins.end() ? twin->second : r.id;
        ASSERT_NE(found, nullptr) << r.width << "x" << r.height << " at " << rate;
        EXPECT_EQ(found->id, expected) << r.width << "x" << r.height << " at " << rate;
    }
}

// The grids: sizes of the common aspect ratios, widths off the character
// cell, and sizes for the curves of GTF.
const int32_t kGridAspects = 0;
const int32_t kGridOddWidths = 1;
const int32_t kGridCurve = 2;

// Every byte value as a VIC: the progressive formats equal the reference's,
// the interlaced ones and those it does not know (it prints nothing of them)
// are refused as such.
TEST_F(VesaOracle, EveryVic) {
    std::vector<Job> jobs(256);
    for (int vic = 0; vic < 256; ++vic)
        jobs[vic].args = {"--vic", std::to_string(vic)};
    RunAll(&jobs);
    int progressive = 0, interlaced = 0;
    for (int vic = 0; vic < 256; ++vic) {
        const std::string &output = jobs[vic].output;
        const Figures theirs = ParseReference(output);
        const Cta_Vic_Result expected = output.find("VIC") == std::string::npos
                                            ? Cta_Vic_Result::kUnknown
                                        : theirs.interlaced ? Cta_Vic_Result::kInterlaced
                                                            : Cta_Vic_Result::kProgressive;
        Tag_Video_Timing t;
        const Cta_Vic_Result found = GetCtaVicTiming(vic, &t, nullptr);
        EXPECT_EQ(found, expected) << "VIC " << vic << ": " << output;
        if (found == Cta_Vic_Result::kProgressive && expected == Cta_Vic_Result::kProgressive) {
            ++progressive;
            EXPECT_EQ(Compare(output, Ours(t)), "") << "VIC " << vic;
            EXPECT_EQ(t.nominal_refresh, llround(theirs.refresh)) << "VIC " << vic;
        }
        interlaced +=
            found == Cta_Vic_Result::kInterlaced && expected == Cta_Vic_Result::kInterlaced;
    }
    printf("CTA-861: %d progressive and %d interlaced VICs as the reference has them\n",
           progressive, interlaced);
}

struct Grid_Case {
    const char *name;
    bool cvt; // else GTF
    Cvt_Blanking blanking;
    int32_t grid;               // kGrid*
    const Tag_Gtf_Curve *curve; // GTF on this curve; null: MakeGtfTiming
};

void PrintTo(const Grid_Case &c, std::ostream *out) {
    *out << c.name;
}

struct Request {
    int64_t width, height, refresh;
};

// kGridAspects: widths 320 to 2560 in steps of 32, the aspect ratios 4:3,
// 16:9, 16:10 and 5:4 where the height comes out whole, rates 50 to 120 Hz in
// steps of 5. kGridOddWidths: widths that are no multiple of 8 (some of them
// rounding down to a size of an aspect ratio of their own), three heights,
// five rates. kGridCurve: widths 640 to 2560 in steps of 320 at 4:3 and 16:9,
// four rates.
std::vector<Request> GridRequests(int32_t grid) {
    std::vector<Request> requests;
    if (grid == kGridOddWidths) {
        for (int64_t w : {721, 853, 1004, 1283, 1285, 1365, 1366, 1367, 1601, 1924, 2558})
            for (int64_t h : {768, 960, 1080})
                for (int64_t r : {50, 60, 75, 85, 120})
                    requests.push_back({w, h, r});
        return requests;
    }
    if (grid == kGridCurve) {
        for (int64_t w = 640; w <= 2560; w += 320)
            for (int64_t h : {w * 3 / 4, w * 9 / 16})
                for (int64_t r : {60, 75, 85, 100})
                    requests.push_back({w, h, r});
        return requests;
    }
    const int aspects[][2] = {{4, 3}, {16, 9}, {16, 10}, {5, 4}};
    for (int64_t w = 320; w <= 2560; w += 32)
        for (const auto &a : aspects)
            if (w * a[1] % a[0] == 0)
                for (int64_t r = 50; r <= 120; r += 5)
                    requests.push_back({w, w * a[1] / a[0], r});
    return requests;
}

// The reference's argument for a curve: "C=40.5,M=3600,K=128,J=35".
std::string CurveArgument(const Tag_Gtf_Curve &c) {
    auto half = [](int32_t doubled) {
        return std::to_string(doubled / 2) + (doubled % 2 != 0 ? ".5" : "");
    };
    return ",C=" + half(c.c2) + ",M=" + std::to_string(c.m) + ",K=" + std::to_string(c.k) +
           ",J=" + half(c.j2);
}

// A timing the reference gives with a negative porch or a sync below 1.
bool OutOfShape(const std::string &reference_output) {
    const Figures f = ParseReference(reference_output);
    for (int i : {0, 2, 5, 7})
        if (f.counts[i] < 0)
            return true;
    return f.counts[1] < 1 || f.counts[6] < 1;
}

class VesaOracleGrid : public VesaOracle, public ::testing::WithParamInterface<Grid_Case> {};

// Each request of the grid, ours against the reference. On a curve of its
// own GTF refuses what has a negative porch: the reference must give such a
// porch there.
TEST_P(VesaOracleGrid, MatchesTheReference) {
    const Grid_Case &c = GetParam();
    const std::vector<Request> requests = GridRequests(c.grid);
    std::vector<Job> jobs(requests.size());
    for (size_t i = 0; i < requests.size(); ++i) {
        const Request &q = requests[i];
        std::string argument = "w=" + std::to_string(q.width) + ",h=" + std::to_string(q.height) +
                               ",fps=" + std::to_string(q.refresh);
        if (c.cvt)
            argument += ",rb=" + std::to_string(static_cast<int>(c.blanking));
        if (c.curve != nullptr)
            argument += CurveArgument(*c.curve);
        jobs[i].args = {c.cvt ? "--cvt" : "--gtf", argument};
    }
    RunAll(&jobs);
    int mismatches = 0, refused = 0;
    for (size_t i = 0; i < requests.size(); ++i) {
        const Request &q = requests[i];
        Tag_Video_Timing t;
        Tag_Timing_Error error;
        bool made = c.cvt ? MakeCvtTiming(q.width, q.height, q.refresh, c.blanking, &t, &error)
                    : c.curve != nullptr
                        ? MakeGtfCurveTiming(q.width, q.height, q.refresh, c.curve, &t, &error)
                        : MakeGtfTiming(q.width, q.height, q.refresh, &t, &error);
        std::string difference = made ? Compare(jobs[i].output, Ours(t)) : error.reason;
        if (!made && c.curve != nullptr && OutOfShape(jobs[i].output)) {
            difference.clear();
            ++refused;
        }
        if (difference.empty() && made && t.nominal_refresh != q.refresh)
            difference = "nominal refresh " + std::to_string(t.nominal_refresh);
        if (!difference.empty() && ++mismatches <= 10)
            ADD_FAILURE() << c.name << " " << q.width << "x" << q.height << " at " << q.refresh
                          << " Hz: " << difference;
    }
    EXPECT_EQ(mismatches, 0) << "of " << requests.size() << " " << c.name << " timings";
    printf("%s: %zu timings compared with the reference (%d refused with it out of shape)\n",
           c.name, requests.size(), refused);
}

// Three curves: a monitor's (Iiyama HM903D, whose little blanking leaves
// negative porches at low line rates), one with halves, one of wide blanking.
const Tag_Gtf_Curve kIiyamaCurve = {80, 3600, 128, 70};
const Tag_Gtf_Curve kHalvesCurve = {81, 1200, 100, 41};
const Tag_Gtf_Curve kWideCurve = {120, 1000, 200, 60};

INSTANTIATE_TEST_SUITE_P(
    Formulas, VesaOracleGrid,
    ::testing::Values(
        Grid_Case{"CVT", true, Cvt_Blanking::kCrt, kGridAspects, nullptr},
        Grid_Case{"CVT_RB", true, Cvt_Blanking::kReducedV1, kGridAspects, nullptr},
        Grid_Case{"CVT_RBv2", true, Cvt_Blanking::kReducedV2, kGridAspects, nullptr},
        Grid_Case{"GTF", false, Cvt_Blanking::kCrt, kGridAspects, nullptr},
        Grid_Case{"CVT_OddWidths", true, Cvt_Blanking::kCrt, kGridOddWidths, nullptr},
        Grid_Case{"CVT_RB_OddWidths", true, Cvt_Blanking::kReducedV1, kGridOddWidths, nullptr},
        Grid_Case{"CVT_RBv2_OddWidths", true, Cvt_Blanking::kReducedV2, kGridOddWidths, nullptr},
        Grid_Case{"GTF_OddWidths", false, Cvt_Blanking::kCrt, kGridOddWidths, nullptr},
        Grid_Case{"GTF_Iiyama", false, Cvt_Blanking::kCrt, kGridCurve, &kIiyamaCurve},
        Grid_Case{"GTF_Halves", false, Cvt_Blanking::kCrt, kGridCurve, &kHalvesCurve},
        Grid_Case{"GTF_Wide", false, Cvt_Blanking::kCrt, kGridCurve, &kWideCurve}),
    [](const ::testing::TestParamInfo<Grid_Case> &info) { return std::string(info.param.name); });

} // namespace
