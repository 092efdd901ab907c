// Write and read back: every input that loads is written with WriteResDatFile
// and, with the first monitor and its first resolution marked, with
// WriteResIniFile. The written data file, with the two header variables the
// writer leaves out appended, must load again into the same database (the
// same monitors, resolutions, timing blocks and header values), and writing
// that again must give the same bytes.
//
// Inputs whose database the file format cannot express are skipped: values are
// written without quotes, so a header value, monitor name or resolution id
// holding ";" or a line end, or beginning with a blank or a double quote, would
// read back differently; a written line longer than the reader's 255-character
// pieces (line end included) would be read as two lines; and a block text can
// hold lines that no file can give back (see BlockExpressible).
#include <string.h>

#include <string>
#include <vector>

#include "common/ascii.h"
#include "fuzz_common.h"
#include "load_checks.h"
#include "resdat/resdat.h"

namespace {

const char kAppendRequired[] = "MemSize = 2\r\nMemConfig = 1\r\n";
// The longest line (without its line end) the reader takes in one piece.
const size_t kLongestLine = 254;

struct Snapshot {
    std::vector<std::string> header; // BusType, MemAddr, DefMode
    std::vector<std::string> monitors;
    std::vector<std::vector<std::string>> resolutions; // linked ids, per monitor
    std::vector<std::vector<int32_t>> links;           // timing index, per entry
    std::vector<std::string> timings;                  // "index:WxH@refresh"
    std::vector<std::string> blocks;
};

std::string Text(const char *text) {
    return text != nullptr ? "\"" + std::string(text) + "\"" : "(absent)";
}

Snapshot Take(void) {
    Snapshot s;
    s.header = {Text(GetBusType()), Text(GetMemAddr()), Text(GetDefaultRes())};
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        s.monitors.push_back(m->monitor_id_string);
        s.resolutions.emplace_back();
        s.links.emplace_back();
        for (Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next) {
            s.resolutions.back().push_back(r->res_id_string);
            s.links.back().push_back(r->timing_info != nullptr ? r->timing_info->index : -1);
        }
    }
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next) {
        s.timings.push_back(std::to_string(t->index) + ":" + t->res_id_string + "@" +
                            t->refresh_string);
        s.blocks.push_back(t->info_block);
    }
    return s;
}

void Compare(const Snapshot &before, const Snapshot &after) {
    if (before.header != after.header)
        Broken("header values differ after the round trip",
               before.header[0] + " " + before.header[1] + " " + before.header[2] + " / " +
                   after.header[0] + " " + after.header[1] + " " + after.header[2]);
    if (before.monitors != after.monitors)
        Broken("monitors differ after the round trip");
    if (before.links != after.links)
        Broken("resolution links differ after the round trip");
    // A resolution entry is written with the spelling of its timing block's id,
    // which matched the entry's ignoring case.
    for (size_t m = 0; m < before.resolutions.size(); ++m)
        for (size_t r = 0; r < before.resolutions[m].size(); ++r)
            if (!AsciiEqualIgnoringCase(before.resolutions[m][r], after.resolutions[m][r]))
                Broken("a resolution id differs after the round trip",
                       before.resolutions[m][r] + " / " + after.resolutions[m][r]);
    if (before.timings != after.timings)
        Broken("timing ids differ after the round trip");
    // A block text without a final line end (its last line was cut short by a
    // NUL) comes back with one.
    for (size_t t = 0; t < before.blocks.size(); ++t)
        if (before.blocks[t] != after.blocks[t] &&
            (before.blocks[t].empty() || before.blocks[t].back() == '\n' ||
             before.blocks[t] + "\n" != after.blocks[t]))
            Broken("a block text differs after the round trip",
                   "[" + before.blocks[t] + "]\n/\n[" + after.blocks[t] + "]");
}

// A value written as "<prefix><value>" on a line of its own reads back as the
// same value.
bool Expressible(const char *prefix, const char *value) {
    if (value == nullptr)
        return true;
    if (strpbrk(value, ";\n") != nullptr || value[0] == ' ' || value[0] == '"')
        return false;
    return strlen(prefix) + strlen(value) <= kLongestLine;
}

// Every ended line of a block text reads back as one line of the block. An
// empty line would end the block, and so would a line whose length is a
// multiple of 255: its line end arrives as a piece of its own, which reads as
// a blank line. (A NUL drops the rest of its line, line end included, so the
// next line is joined onto it: that is how such lines get into a block.)
bool BlockExpressible(const char *text) {
    for (const char *p = text; *p != '\0';) {
        const char *lf = strchr(p, '\n');
        if (lf == nullptr)
            return true; // the last line, unended: written with a blank line after it
        size_t length = static_cast<size_t>(lf - p);
        if (length % (kLongestLine + 1) == 0)
            return false;
        p = lf + 1;
    }
    return true;
}

bool DatabaseExpressible(void) {
    if (!Expressible("BusType = ", GetBusType()) || !Expressible("MemAddr = ", GetMemAddr()) ||
        !Expressible("DefMode = ", GetDefaultRes()))
        return false;
    int monitor_number = 0;
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        std::string header = "[M" + std::to_string(monitor_number++) + "]";
        if (!Expressible("name=", m->monitor_id_string) || header.size() > kLongestLine)
            return false;
        int entry_number = 0;
        for (Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next) {
            const Tag_Timing_Info *t = r->timing_info;
            std::string prefix =
                "timing" + std::to_string(entry_number++) + " = T" + std::to_string(t->index) + ":";
            std::string id = std::string(t->res_id_string) + "x" + t->refresh_string;
            if (!Expressible(prefix.c_str(), id.c_str()))
                return false;
        }
    }
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next) {
        std::string header = "[T" + std::to_string(t->index) + ":" + t->res_id_string + "x" +
                             t->refresh_string + "]";
        if (header.size() > kLongestLine || !BlockExpressible(t->info_block))
            return false;
    }
    return true;
}

void CheckIni(const std::string &path) {
    Tag_Monitor_Entry *first = GetMonitorEntryHead();
    ClearFFMarks();
    remove(path.c_str());
    res_dat_err_flag = 0;
    if (first == nullptr) {
        if (WriteResIniFile(path.c_str()) || res_dat_err_flag != 6)
            Broken("INI written without a marked monitor");
        return;
    }
    if (!MarkMon(first->monitor_id_string))
        Broken("the first monitor cannot be marked");
    if (first->res_list == nullptr) {
        if (WriteResIniFile(path.c_str()) || res_dat_err_flag != 2)
            Broken("INI written for a monitor without resolutions");
    } else {
        if (!MarkRes(first->monitor_id_string, first->res_list->res_id_string))
            Broken("the first resolution cannot be marked");
        if (!WriteResIniFile(path.c_str()))
            Broken("INI not written", std::to_string(res_dat_err_flag));
        bool ok = false;
        std::string ini = GetFile(path, &ok);
        if (!ok || ini.size() < 2 || ini.compare(ini.size() - 2, 2, "\r\n") != 0)
            Broken("the INI file does not end with a line end");
        if (ini.find("\r\n[hardware]\r\n") == std::string::npos)
            Broken("the INI file has no [hardware] section");
    }
    ClearFFMarks();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string input = ScratchPath("roundtrip.in");
    static const std::string written = ScratchPath("roundtrip.dat");
    static const std::string again = ScratchPath("roundtrip.again");
    static const std::string ini = ScratchPath("roundtrip.ini");
    PutFile(input, data, size);
    ResDatReset();
    bool loaded = ReadDatFile(input.c_str()) == TRUE;
    CheckLoadAgainstInput(loaded, data, size);
    if (!loaded || !DatabaseExpressible()) {
        ResDatReset();
        return 0;
    }
    Snapshot before = Take();
    res_dat_err_flag = 0;
    if (!WriteResDatFile(written.c_str()))
        Broken("the data file was not written", std::to_string(res_dat_err_flag));
    CheckIni(ini);

    bool ok = false;
    std::string bytes = GetFile(written, &ok);
    if (!ok)
        Broken("the written data file cannot be read");
    PutFile(written, bytes + kAppendRequired);
    ResDatReset();
    if (!ReadDatFile(written.c_str()))
        Broken("the written data file does not load", GetResDatErrDetail());
    if (GetMemSize() == nullptr || strcmp(GetMemSize(), "2") != 0 || GetMemConfig() == nullptr ||
        strcmp(GetMemConfig(), "1") != 0)
        Broken("the appended header variables were not read");
    Compare(before, Take());

    if (!WriteResDatFile(again.c_str()))
        Broken("the data file was not written again");
    std::string second = GetFile(again, &ok);
    if (!ok || second != bytes)
        Broken("writing the database read back gives other bytes");
    ResDatReset();
    return 0;
}
