// orvexres: the commands on the data file itself: check, list, show, write and
// ini.
#include <stdio.h>
#include <string.h>

#include "install/crt_timing.h"
#include "tools/orvexres/orvexres.h"

int RunCheck(const Tag_Invocation &call) {
    const std::vector<std::string> &args = call.args;
    const std::string &file = args[0];
    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    size_t monitors = 0;
    size_t resolutions = 0;
    size_t blocks = 0;
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        ++monitors;
        resolutions += CountResolutions(m);
    }
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        ++blocks;
    printf("%s: ok monitors=%s resolutions=%s timing_blocks=%s BusType=%s MemAddr=%s "
           "MemSize=%s MemConfig=%s DefMode=%s\n",
           Printable(file).c_str(), std::to_string(monitors).c_str(),
           std::to_string(resolutions).c_str(), std::to_string(blocks).c_str(),
           SummaryValue(GetBusType()).c_str(), SummaryValue(GetMemAddr()).c_str(),
           SummaryValue(GetMemSize()).c_str(), SummaryValue(GetMemConfig()).c_str(),
           SummaryValue(GetDefaultRes()).c_str());
    return kExitOk;
}

int RunList(const Tag_Invocation &call) {
    const std::vector<std::string> &args = call.args;
    const std::string &file = args[0];
    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    if (args.size() == 1) {
        for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
            printf("%s\t%s\n", std::to_string(CountResolutions(m)).c_str(),
                   Printable(m->monitor_id_string).c_str());
        return kExitOk;
    }
    const Tag_Monitor_Entry *monitor = FindMonitor(file, args[1]);
    if (monitor == nullptr)
        return kExitRefused;
    for (const Tag_Resolution_Entry *e = monitor->res_list; e != nullptr; e = e->next)
        printf("%s\n", Printable(e->res_id_string).c_str());
    return kExitOk;
}

// A slot's value in decimal: signed where the installer reads it as a signed
// number, unsigned otherwise (the dot rate, read as hex, and the polarities).
static std::string SlotDecimal(int slot, uint32_t value) {
    if (IsSignedTimingSlot(slot)) {
        int64_t signed_value = value >= 0x80000000u ? static_cast<int64_t>(value) - 0x100000000ll
                                                    : static_cast<int64_t>(value);
        return std::to_string(signed_value);
    }
    return std::to_string(value);
}

// The value as regedit writes a REG_BINARY: "name"=hex:lower-case pairs.
static std::string RegeditHexLine(const char *name, const BYTE *bytes, size_t count) {
    std::string line = "\"";
    line += name;
    line += "\"=hex:";
    for (size_t i = 0; i < count; ++i) {
        char pair[4];
        snprintf(pair, sizeof pair, "%02x", static_cast<unsigned>(bytes[i]));
        if (i > 0)
            line += ',';
        line += pair;
    }
    return line;
}

int RunShow(const Tag_Invocation &call) {
    const std::vector<std::string> &args = call.args;
    uint64_t refresh = 0;
    const std::string *vref = FindOption(call, "--vref");
    if (vref != nullptr && !ParseWholeNumber(*vref, 0xFFFFFFFFu, &refresh))
        return UsageError(call.command, "--vref needs a refresh rate in Hz (0 to 4294967295), "
                                        "not '" +
                                            Printable(*vref) + "'");
    const uint32_t wanted_refresh = static_cast<uint32_t>(refresh);
    const std::string &file = args[0];
    const std::string *svg = FindOption(call, "--svg");
    if (svg != nullptr && !OutputIsNotInput(file, *svg, RES_DAT_ERR_DATA_FILE))
        return kExitRefused;
    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    const Tag_Monitor_Entry *monitor = FindMonitor(file, args[1]);
    if (monitor == nullptr)
        return kExitRefused;
    const Tag_Resolution_Entry *entry = FindResolution(file, monitor, args[2]);
    if (entry == nullptr)
        return kExitRefused;
    const Tag_Timing_Info *info = entry->timing_info; // a loaded database is linked

    std::string block_id = BlockId(info);
    printf("monitor: %s\n", Printable(monitor->monitor_id_string).c_str());
    printf("resolution: %s\n", Printable(entry->res_id_string).c_str());
    printf("block: %s\n", Printable(block_id).c_str());
    std::string_view text(info->info_block);
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        printf("text: %s\n", Printable(line).c_str());
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }

    uint32_t values[TIMING_SLOTS] = {};
    int matches = EncodeTimingBlock(info->info_block, wanted_refresh, values);
    if (matches < 0) {
        const char *slots[TIMING_SLOTS];
        int fields = FindTimingSlots(info->info_block, slots);
        fflush(stdout);
        Report(file, 0, RES_DAT_ERR_CONTENT,
               "timing block " + block_id + " has " + std::to_string(fields) +
                   " of the 14 fields the installer needs and cannot be encoded",
               "give the block one \"name=value\" line for each of hdr, hsp, hbp, had, hfp, "
               "hco, hp, vlr, vsp, vbp, vad, vfp, vco and vp");
        return kExitRefused;
    }
    for (int slot = 0; slot < TIMING_SLOTS; ++slot)
        printf("slot %s: %s (0x%08lx)\n", timing_field_keys[slot],
               SlotDecimal(slot, values[slot]).c_str(), static_cast<unsigned long>(values[slot]));
    BYTE bytes[CRT_TIMING_BYTES];
    TimingValueBytes(values, bytes);
    printf("%s\n", RegeditHexLine("CrtTiming", bytes, sizeof bytes).c_str());
    std::string wanted = wanted_refresh == 0 ? "any" : std::to_string(wanted_refresh);
    printf("refresh: %s (vlr %s, wanted %s)\n", matches == 1 ? "match" : "mismatch",
           SlotDecimal(TIMING_SLOT_VLR, values[TIMING_SLOT_VLR]).c_str(), wanted.c_str());
    if (svg != nullptr) {
        std::string title = std::string(monitor->monitor_id_string) + " " + entry->res_id_string;
        fflush(stdout);
        if (!WriteTimingPicture(file, *svg, title.c_str(), info))
            return kExitRefused;
        printf("picture: %s\n", Printable(*svg).c_str());
    }
    return kExitOk;
}

int RunWrite(const Tag_Invocation &call) {
    const std::vector<std::string> &args = call.args;
    const std::string &file = args[0];
    const std::string &out = args[1];
    if (!OutputIsNotInput(file, out, RES_DAT_ERR_DATA_FILE))
        return kExitRefused;
    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    if (!WriteResDatFile(out.c_str())) {
        Report(out, 0, res_dat_err_flag, "the data file cannot be created or written",
               "check that the directory exists, that you may write there and that the disk "
               "has room");
        return kExitRefused;
    }
    size_t monitors = 0;
    size_t blocks = 0;
    for (const Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
        ++monitors;
    for (const Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        ++blocks;
    printf("%s: written monitors=%s timing_blocks=%s\n", Printable(out).c_str(),
           std::to_string(monitors).c_str(), std::to_string(blocks).c_str());
    fprintf(stderr,
            "%s: note: the file has no MemSize or MemConfig lines; add them before the "
            "installer reads it\n",
            Printable(out).c_str());
    return kExitOk;
}

int RunIni(const Tag_Invocation &call) {
    const std::vector<std::string> &args = call.args;
    const std::string &file = args[0];
    const std::string &monitor_name = args[1];
    const std::string &res_id = args[2];
    const std::string &out = args[3];
    if (!OutputIsNotInput(file, out, RES_DAT_ERR_INI_FILE))
        return kExitRefused;
    Tag_Database db;
    if (!db.Load(file))
        return kExitRefused;
    ClearFFMarks();
    if (!MarkMon(monitor_name.c_str())) {
        FindMonitor(file, monitor_name); // reports it
        return kExitRefused;
    }
    if (!MarkRes(monitor_name.c_str(), res_id.c_str())) {
        FindResolution(file, GetMarkedMonEntry(), res_id); // reports it
        return kExitRefused;
    }
    if (!WriteResIniFile(out.c_str())) {
        int32_t code = res_dat_err_flag;
        if (code == RES_DAT_ERR_INI_FILE)
            Report(out, 0, code, "the INI file cannot be created or written",
                   "check that the directory exists, that you may write there and that the "
                   "disk has room");
        else
            Report(file, 0, code, "nothing marked to write",
                   "run 'orvexres list " + ShellWord(file) + " " + ShellWord(monitor_name) +
                       "' to see the monitor's resolutions");
        return kExitRefused;
    }
    const Tag_Monitor_Entry *monitor = GetMarkedMonEntry();
    printf("%s: written monitor=%s resolution=%s\n", Printable(out).c_str(),
           SummaryValue(monitor->monitor_id_string).c_str(),
           SummaryValue(FindResolutionEntry(res_id.c_str(), monitor->res_list)->res_id_string)
               .c_str());
    return kExitOk;
}
