// bench_load: how fast the data file reader loads large files, against
//   - the fgets floor: merely reading the lines with fgets;
//   - the contract floor: reading the lines with fgets and making the heap
//     copies the records own (a timing block's record, id, refresh text and
//     block text; a resolution's record and id; a monitor's record and name),
//     with no look-ups at all: what the record model forces on any loader;
//   - inih, a widely used C INI parser, on the same files;
// how long writing the database back takes, against the write floor (the same
// bytes with the same CR LF translation through one buffered stream); lint;
// reading every timing block of the loaded database by key (ParseTimingBlock,
// the reading lint and the tools build on); and the loader's peak memory.
//
//   bench_load [--runs N] FILE...      timings of every file, then the ratios
//   bench_load --peak FILE             (internal) peak memory of one load
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <ini.h>

#include "resdat/resdat.h"
#include "timing/timing.h"
#include "tools/lint/lint.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

long FileSize(const char *path) {
    FILE *f = fopen(path, "rb");
    if (f == nullptr)
        return -1;
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    fclose(f);
    return size;
}

long ProcStatusKb(const char *field) {
    FILE *f = fopen("/proc/self/status", "r");
    if (f == nullptr)
        return -1;
    char line[256];
    long kb = -1;
    size_t n = strlen(field);
    while (fgets(line, sizeof line, f) != nullptr)
        if (strncmp(line, field, n) == 0)
            kb = strtol(line + n + 1, nullptr, 10);
    fclose(f);
    return kb;
}

void CountFinding(void *context, const Tag_Lint_Finding *) {
    ++*static_cast<long *>(context);
}

int CountingHandler(void *user, const char *, const char *, const char *) {
    ++*static_cast<long *>(user);
    return 1;
}

struct Result {
    std::string file;
    long bytes;
    long timing_blocks, records;
    double read_dat, fgets_floor, contract_floor, inih, write_dat, write_floor, lint, by_key;
    long peak_kb;
};

// The contract floor: the lines read with fgets and the owned copies made, in
// a list of their own so that they can be released after the clock stops.
struct Copy {
    Copy *next;
};

void *Own(Copy **owned, size_t size) {
    Copy *copy = static_cast<Copy *>(malloc(sizeof(Copy) + size));
    if (copy == nullptr)
        exit(1);
    copy->next = *owned;
    *owned = copy;
    return copy + 1;
}

char *OwnText(Copy **owned, const char *text, size_t length) {
    char *copy = static_cast<char *>(Own(owned, length + 1));
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

bool BlankLine(const char *line) {
    return line[0] == '\n' || (line[0] == '\r' && line[1] == '\n');
}

Copy *ContractLoad(const char *file) {
    Copy *owned = nullptr;
    FILE *f = fopen(file, "rb");
    char line[256];
    char block[5120];
    while (fgets(line, sizeof line, f) != nullptr) {
        if (line[0] == '[' && line[1] == 'M' && fgets(line, sizeof line, f) != nullptr) {
            Own(&owned, sizeof(Tag_Monitor_Entry));
            OwnText(&owned, line, strcspn(line, "\r\n"));
            while (fgets(line, sizeof line, f) != nullptr && !BlankLine(line)) {
                Own(&owned, sizeof(Tag_Resolution_Entry));
                OwnText(&owned, line, strcspn(line, "\r\n"));
            }
        } else if (line[0] == '[' && line[1] == 'T') {
            size_t id = strcspn(line + 1, "]");
            Own(&owned, sizeof(Tag_Timing_Info));
            OwnText(&owned, line + 1, id);
            size_t x = id;
            while (x > 0 && line[1 + x - 1] != 'x')
                --x;
            OwnText(&owned, line + 1 + x, id - x);
            size_t length = 0;
            while (fgets(line, sizeof line, f) != nullptr && !BlankLine(line)) {
                size_t n = strlen(line);
                if (length + n < sizeof block) {
                    memcpy(block + length, line, n);
                    length += n;
                }
            }
            OwnText(&owned, block, length);
        }
    }
    fclose(f);
    return owned;
}

void ReleaseCopies(Copy *owned) {
    while (owned != nullptr) {
        Copy *next = owned->next;
        free(owned);
        owned = next;
    }
}

// The write floor: the text of the written file (LF line ends) sent line by
// line through one buffered stream, each LF written as CR LF.
double WriteFloor(const std::string &text, const std::string &out) {
    auto start = Clock::now();
    FILE *f = fopen(out.c_str(), "wb");
    if (f == nullptr)
        exit(1);
    for (size_t pos = 0; pos < text.size();) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string::npos ? text.size() : lf;
        fwrite(text.data() + pos, 1, end - pos, f);
        if (lf == std::string::npos)
            break;
        fwrite("\r\n", 1, 2, f);
        pos = lf + 1;
    }
    fclose(f);
    return Seconds(start, Clock::now());
}

// The file's text with its CR LF line ends read as LF.
std::string TextOf(const std::string &path) {
    std::string text;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        exit(1);
    int c;
    while ((c = getc(f)) != EOF)
        if (c != '\r')
            text += static_cast<char>(c);
    fclose(f);
    return text;
}

long PeakKb(const char *self, const char *file) {
    std::string command = std::string("'") + self + "' --peak '" + file + "'";
    FILE *p = popen(command.c_str(), "r");
    if (p == nullptr)
        return -1;
    long kb = -1;
    if (fscanf(p, "%ld", &kb) != 1)
        kb = -1;
    pclose(p);
    return kb;
}

// One measurement: how long once() takes, the best of the rounds.
struct Tag_Timed {
    double *best;
    std::function<double()> once;
};

Result Measure(const char *self, const char *file, int runs) {
    Result r{file, FileSize(file), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

    // The database once, for the counts and the written text.
    ResDatReset();
    if (!ReadDatFile(file)) {
        fprintf(stderr, "bench_load: %s: %s\n", file, GetResDatErrDetail());
        exit(1);
    }
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        ++r.timing_blocks;
    r.records = r.timing_blocks;
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        ++r.records;
        for (Tag_Resolution_Entry *e = m->res_list; e != nullptr; e = e->next)
            ++r.records;
    }
    std::string out = std::string(file) + ".written";
    if (!WriteResDatFile(out.c_str()))
        exit(1);
    std::string text = TextOf(out);

    const Tag_Timed timed[] = {
        {&r.fgets_floor,
         [&] {
             char line[256];
             long lines = 0;
             auto start = Clock::now();
             FILE *f = fopen(file, "r");
             while (fgets(line, sizeof line, f) != nullptr)
                 ++lines;
             fclose(f);
             auto end = Clock::now();
             if (lines == 0)
                 fprintf(stderr, "bench_load: %s is empty\n", file);
             return Seconds(start, end);
         }},
        {&r.contract_floor,
         [&] {
             auto start = Clock::now();
             Copy *owned = ContractLoad(file);
             auto end = Clock::now();
             ReleaseCopies(owned);
             return Seconds(start, end);
         }},
        {&r.read_dat,
         [&] {
             ResDatReset();
             auto start = Clock::now();
             BOOLEAN ok = ReadDatFile(file);
             auto end = Clock::now();
             if (!ok)
                 exit(1);
             return Seconds(start, end);
         }},
        {&r.write_dat, // of the database the load before left
         [&] {
             auto start = Clock::now();
             BOOLEAN ok = WriteResDatFile(out.c_str());
             auto end = Clock::now();
             if (!ok)
                 exit(1);
             return Seconds(start, end);
         }},
        {&r.write_floor, [&] { return WriteFloor(text, out); }},
        // "orvexres lint": the load and every rule on the loaded database.
        {&r.lint,
         [&] {
             long findings = 0;
             ResDatReset();
             auto start = Clock::now();
             if (!ReadDatFile(file) || !LintDatabase(nullptr, nullptr, CountFinding, &findings))
                 exit(1);
             auto end = Clock::now();
             return Seconds(start, end);
         }},
        // Every block of the database the load before left, read by key.
        {&r.by_key,
         [&] {
             long complete = 0;
             Tag_Timing_Block_Report report;
             auto start = Clock::now();
             for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
                 complete += ParseTimingBlock(t->info_block, &report);
             auto end = Clock::now();
             if (complete != r.timing_blocks)
                 fprintf(stderr, "bench_load: %s: %ld blocks incomplete\n", file,
                         r.timing_blocks - complete);
             return Seconds(start, end);
         }},
        {&r.inih,
         [&] {
             long pairs = 0;
             auto start = Clock::now();
             ini_parse(file, CountingHandler, &pairs);
             auto end = Clock::now();
             if (pairs == 0)
                 fprintf(stderr, "bench_load: inih found nothing in %s\n", file);
             return Seconds(start, end);
         }},
    };
    // Round after round, each measurement once: the neighbours' noise on a
    // shared machine falls on all of them alike, and the best of the rounds
    // is what the code costs.
    for (const Tag_Timed &t : timed)
        *t.best = 1e9;
    for (int round = 0; round < runs; ++round)
        for (const Tag_Timed &t : timed)
            *t.best = std::min(*t.best, t.once());
    remove(out.c_str());
    ResDatReset();

    r.peak_kb = PeakKb(self, file);
    return r;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "--peak") == 0) {
        long before = ProcStatusKb("VmRSS:");
        if (!ReadDatFile(argv[2]))
            return 1;
        printf("%ld\n", ProcStatusKb("VmHWM:") - before);
        return 0;
    }
    int runs = 7;
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "--runs") == 0) {
        runs = atoi(argv[2]);
        first = 3;
    }
    if (first >= argc || runs < 1) {
        fprintf(stderr, "usage: bench_load [--runs N] FILE...\n");
        return 2;
    }

    std::vector<Result> results;
    printf("%-22s %6s %7s %8s %6s %8s %7s %9s %8s %8s %8s %8s %7s %7s %7s\n", "file", "MB",
           "blocks", "ReadDat", "MB/s", "rec/s", "fgets", "contract", "inih", "Write", "wfloor",
           "lint", "byKey", "peakMB", "peak/MB");
    for (int i = first; i < argc; ++i) {
        Result r = Measure(argv[0], argv[i], runs);
        double mb = r.bytes / 1e6;
        printf("%-22s %6.2f %7ld %8.2f %6.1f %8.3g %7.2f %9.2f %8.2f %8.2f %8.2f %8.2f %7.2f %7.2f "
               "%7.2f\n",
               r.file.substr(r.file.size() > 22 ? r.file.size() - 22 : 0).c_str(), mb,
               r.timing_blocks, r.read_dat * 1e3, mb / r.read_dat, r.records / r.read_dat,
               r.fgets_floor * 1e3, r.contract_floor * 1e3, r.inih * 1e3, r.write_dat * 1e3,
               r.write_floor * 1e3, r.lint * 1e3, r.by_key * 1e3, r.peak_kb / 1024.0,
               r.peak_kb * 1024.0 / r.bytes);
        fflush(stdout);
        results.push_back(r);
    }
    printf("\ntimes in ms, the best of %d interleaved rounds each\n", runs);
    for (const Result &r : results)
        printf("%8ld blocks: ReadDatFile / contract floor = %.2f  / fgets = %.2f  / inih = %.2f"
               "   Write / write floor = %.2f   lint / ReadDatFile = %.2f"
               "   peak memory / file size = %.2f\n",
               r.timing_blocks, r.read_dat / r.contract_floor, r.read_dat / r.fgets_floor,
               r.read_dat / r.inih, r.write_dat / r.write_floor, r.lint / r.read_dat,
               r.peak_kb * 1024.0 / r.bytes);
    for (size_t i = 1; i < results.size(); ++i)
        printf("growth %ld -> %ld blocks: ReadDatFile x%.2f (blocks x%.1f)\n",
               results[i - 1].timing_blocks, results[i].timing_blocks,
               results[i].read_dat / results[i - 1].read_dat,
               static_cast<double>(results[i].timing_blocks) / results[i - 1].timing_blocks);
    return 0;
}
