// orvexres: what a monitor reports about itself (EDID): edid prints it as a
// monitor block and its timing blocks, import-edid adds it to a data file,
// make-edid makes one from a monitor of a data file, and lint --edid and
// chart --edid take the monitor's range from it (the range options).
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string_view>
#include <vector>

#include "timing/edid.h"
#include "timing/timing.h"
#include "tools/lint/lint.h"
#include "tools/orvexres/orvexres.h"

namespace {

// The EDID of the file the command line names, decoded; false with the fault
// reported (as a refusal of the EDID file).
bool LoadEdid(const Tag_Invocation &call, const std::string &path, Tag_Edid *edid) {
    // Room for a hex dump of the largest EDID, with headings.
    std::string input;
    if (!ReadFileBytes(path, kEdidMaxSize * 4 + 4096, &input)) {
        Report(path, 0, RES_DAT_ERR_DATA_FILE, "the EDID cannot be read (or is too large)",
               "check the file name; give a binary EDID or a hex dump");
        return false;
    }
    std::vector<uint8_t> bytes(kEdidMaxSize);
    size_t count = 0;
    Tag_Timing_Error error{};
    if (!ReadEdidInput(reinterpret_cast<const uint8_t *>(input.data()), input.size(), bytes.data(),
                       bytes.size(), &count, &error) ||
        !DecodeEdid(bytes.data(), count, HasOption(call, "--force"), edid, &error)) {
        Report(path, 0, RES_DAT_ERR_CONTENT, std::string("not a usable EDID: ") + error.reason,
               error.code == Timing_Error_Code::kChecksum
                   ? "--force decodes it despite the checksum"
                   : "give the monitor's EDID as 128-byte blocks, binary or a hex dump");
        return false;
    }
    return true;
}

// The monitor's name: --name when given (the user's choice overrides), else
// the EDID's.
std::string MonitorName(const Tag_Invocation &call, const Tag_Edid &edid) {
    const std::string *name = FindOption(call, "--name");
    return name != nullptr ? *name : std::string(edid.name);
}

// The modes left out for the resolution of a mode kept (DecodeEdid keeps one
// mode of each size and whole refresh: a monitor lists a resolution once),
// each with the index of the mode kept; those beyond the skip list are only
// counted.
std::vector<const Tag_Edid_Skip *> LeftOut(const Tag_Edid &edid) {
    std::vector<const Tag_Edid_Skip *> left_out;
    for (int32_t i = 0; i < edid.skip_count; ++i)
        if (edid.skips[i].kind == Edid_Skip::kSameId && edid.skips[i].kept >= 0 &&
            edid.skips[i].kept < edid.mode_count)
            left_out.push_back(&edid.skips[i]);
    return left_out;
}

std::string Describe(const Tag_Edid_Mode &mode) {
    char description[kEdidDescriptionSize];
    DescribeEdidMode(&mode, description, sizeof description);
    return description;
}

// Composed lines printed as they are, each line's control characters as \xNN.
void PrintLines(const char *text) {
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        printf("%s\n", Printable(rest.substr(0, end)).c_str());
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
}

// The block id of the n-th mode printed.
std::string PrintedId(size_t n, const Tag_Video_Timing &t) {
    char id[kResDatLineSize];
    ComposeBlockId(id, sizeof id, static_cast<int64_t>(n), t.h_active, t.v_active,
                   t.nominal_refresh);
    return id;
}

// The mode lists of an EDID, by Edid_Source, for the summary comment.
const char *const kSourceLists[kEdidSourceKinds] = {"detailed timings", "established timings",
                                                    "standard timings", "established timings III",
                                                    "CVT 3-byte codes", "video descriptors"};

// The summary comment: the EDID, its blocks (and those after them, not
// decoded), its range, and the modes of the lists folded into the detailed
// timings they repeat.
void PrintEdidSummary(const Tag_Edid &edid) {
    std::string line = "; EDID " + std::to_string(edid.version) + "." +
                       std::to_string(edid.revision) + " of " + Printable(edid.name) + ", " +
                       std::to_string(edid.block_count) +
                       (edid.block_count == 1 ? " block" : " blocks");
    if (edid.trailing_blocks > 0)
        line += " (the dump holds " + std::to_string(edid.trailing_blocks) + " more, not decoded)";
    if (edid.range.present)
        line += "; " + RangeText(edid.range);
    const char *lead = "; folded into the detailed timings they repeat: ";
    for (int32_t source = 0; source < kEdidSourceKinds; ++source) {
        if (edid.folded[source] == 0)
            continue;
        line += lead + std::to_string(edid.folded[source]) + " of the " + kSourceLists[source];
        lead = ", ";
    }
    printf("%s\n", line.c_str());
}

// The heading comments: the summary, the decoder's notes, the modes skipped
// and, by name, those left out for a resolution listed.
void PrintEdidHeading(const Tag_Edid &edid) {
    PrintEdidSummary(edid);
    for (int32_t note = 0; note < kEdidNoteKinds; ++note)
        if ((edid.notes & GetEdidNoteBit(static_cast<Edid_Note>(note))) != 0)
            printf("; note: %s\n", DescribeEdidNote(static_cast<Edid_Note>(note)));
    for (int32_t kind = 0; kind < kEdidSkipKinds; ++kind)
        if (edid.skipped[kind] > 0 && kind != static_cast<int32_t>(Edid_Skip::kSameId))
            printf("; skipped: %d %s\n", edid.skipped[kind],
                   DescribeEdidSkip(static_cast<Edid_Skip>(kind)));
    const std::vector<const Tag_Edid_Skip *> left_out = LeftOut(edid);
    for (const Tag_Edid_Skip *left : left_out) {
        const Tag_Video_Timing &kept = edid.modes[left->kept].timing;
        printf("; left out: %s: the monitor lists %s as %s\n", Describe(left->mode).c_str(),
               ResolutionOf(kept).c_str(),
               PrintedId(static_cast<size_t>(left->kept), kept).c_str());
    }
    const int32_t unnamed = edid.skipped[static_cast<int32_t>(Edid_Skip::kSameId)] -
                            static_cast<int32_t>(left_out.size());
    if (unnamed > 0)
        printf("; left out: %d more of a resolution the monitor lists\n", unnamed);
}

} // namespace

std::string RangeText(const Tag_Edid_Range &range) {
    char text[160];
    snprintf(text, sizeof text, "range %d-%d kHz, %d-%d Hz, clock up to %g MHz", range.h_min_khz,
             range.h_max_khz, range.v_min_hz, range.v_max_hz, range.max_clock_khz / 1000.0);
    return text;
}

int RunEdid(const Tag_Invocation &call) {
    Tag_Edid edid;
    if (!LoadEdid(call, call.args[0], &edid))
        return kExitRefused;
    std::string name = MonitorName(call, edid);
    char lines[2 * kResDatLineSize];
    if (!ComposeMonitorBlock(lines, sizeof lines, 0, name.c_str())) {
        if (HasOption(call, "--name"))
            return UsageError(call.command,
                              "--name: \"" + Printable(name) + "\" cannot stand in a data file");
        Report(call.args[0], 0, RES_DAT_ERR_CONTENT,
               "the EDID's name \"" + name + "\" cannot stand in a data file",
               "give the monitor a name with --name");
        return kExitRefused;
    }
    PrintEdidHeading(edid);
    PrintLines(lines);
    const size_t count = static_cast<size_t>(edid.mode_count);
    for (size_t n = 0; n < count; ++n) {
        ComposeResolutionLine(lines, sizeof lines, static_cast<int64_t>(n),
                              PrintedId(n, edid.modes[n].timing).c_str());
        PrintLines(lines);
    }
    for (size_t n = 0; n < count; ++n) {
        const Tag_Edid_Mode &mode = edid.modes[n];
        char block[kTimingBlockTextSize];
        if (!FormatTimingBlock(&mode.timing, block, sizeof block))
            block[0] = '\0';
        ComposeTimingHeader(lines, sizeof lines, PrintedId(n, mode.timing).c_str());
        printf("\n; %s\n", Describe(mode).c_str());
        PrintLines(lines);
        fputs(block, stdout);
    }
    return kExitOk;
}

int RunImportEdid(const Tag_Invocation &call) {
    Tag_Edid edid;
    if (!LoadEdid(call, call.args[1], &edid))
        return kExitRefused;
    if (edid.mode_count == 0) {
        Report(call.args[1], 0, RES_DAT_ERR_CONTENT,
               "the EDID names no mode a timing block can hold", "nothing was changed");
        return kExitRefused;
    }
    std::vector<Tag_Video_Timing> modes;
    for (int32_t i = 0; i < edid.mode_count; ++i)
        modes.push_back(edid.modes[i].timing);
    std::string name = MonitorName(call, edid);
    std::vector<std::string> ids;
    int status = AddModesToFile(call.args[0], name, true, modes, &ids);
    if (status != kExitOk)
        return status;
    for (const Tag_Edid_Skip *left : LeftOut(edid))
        fprintf(stderr, "%s: note: %s left out: monitor %s lists %s as block %s\n",
                Printable(call.args[1]).c_str(), Printable(Describe(left->mode)).c_str(),
                Printable(name).c_str(), ResolutionOf(modes[left->kept]).c_str(),
                ids[left->kept].c_str());
    return kExitOk;
}

namespace {

// The largest rate or clock a range keeps in an EDID's units (far beyond any
// monitor; an EDID itself holds 255 kHz and 255 Hz).
const double kRangeUnitsMax = 1e6;

// A range read by ParseLintRange in an EDID's units: whole kHz and Hz, the
// clock up to the kHz; false when a rate is no whole number of them.
bool EdidUnits(const Tag_Lint_Range &lint, Tag_Edid_Range *range) {
    const double rates[4] = {lint.h_min / 1e3, lint.h_max / 1e3, lint.v_min, lint.v_max};
    int32_t *fields[4] = {&range->h_min_khz, &range->h_max_khz, &range->v_min_hz, &range->v_max_hz};
    for (int i = 0; i < 4; ++i) {
        if (rates[i] != floor(rates[i]) || rates[i] > kRangeUnitsMax)
            return false;
        *fields[i] = static_cast<int32_t>(rates[i]);
    }
    const double clock_khz = ceil(lint.clock_max / 1e3 - 1e-6);
    if (clock_khz > kRangeUnitsMax * 1e3)
        return false;
    range->max_clock_khz = static_cast<int32_t>(clock_khz);
    range->present = true;
    return true;
}

// The EDID's Display Range Limits and name; false with the fault reported.
bool ReadEdidRange(const Tag_Invocation &call, const std::string &path, Tag_Range_Option *range) {
    Tag_Edid edid;
    if (!LoadEdid(call, path, &edid))
        return false;
    if (!edid.range.present) {
        Report(path, 0, RES_DAT_ERR_CONTENT, "the EDID has no Display Range Limits",
               "give the range with --range instead");
        return false;
    }
    const Tag_Edid_Range &r = edid.range;
    range->edid = r;
    range->lint =
        Tag_Lint_Range{r.h_min_khz * 1e3, r.h_max_khz * 1e3, static_cast<double>(r.v_min_hz),
                       static_cast<double>(r.v_max_hz), r.max_clock_khz * 1e3};
    range->edid_name = edid.name;
    return true;
}

} // namespace

int ReadRangeOption(const Tag_Invocation &call, bool whole, int unread, Tag_Range_Option *range) {
    *range = Tag_Range_Option{false, {}, {}, ""};
    const std::string *text = FindOption(call, "--range");
    const std::string *edid = FindOption(call, "--edid");
    if (text != nullptr && edid != nullptr)
        return UsageError(call.command, "give --range or --edid, not both");
    if (edid != nullptr) {
        range->given = true;
        return ReadEdidRange(call, *edid, range) ? kExitOk : unread;
    }
    if (text == nullptr)
        return kExitOk;
    const char *fault = "";
    if (!ParseLintRange(text->c_str(), &range->lint, &fault) ||
        (whole && !EdidUnits(range->lint, &range->edid)))
        return UsageError(call.command,
                          "--range '" + Printable(*text) + "': " +
                              (*fault != '\0' ? fault : "the rates are not whole kHz and Hz") +
                              " (give HMIN-HMAX,VMIN-VMAX,CLOCKMAX in kHz, Hz and MHz, e.g. "
                              "30-70,50-120,110)");
    range->given = true;
    return kExitOk;
}

namespace {

// The modes that went nowhere, and a name the EDID cuts short, as notes on
// standard error.
void NoteWhatIsLeftOut(const std::string &out, const Tag_Monitor_Modes &modes,
                       const std::vector<Tag_Edid_Placement> &placements, const Tag_Edid &edid) {
    std::string where = Printable(out);
    for (size_t i = 0; i < placements.size(); ++i) {
        const Tag_Edid_Placement &place = placements[i];
        if (place.where != Edid_Placed::kNowhere)
            continue;
        std::string why = DescribeEdidUnplaced(place.reason);
        if (place.reason == Edid_Unplaced::kSameId)
            why += ", block " + modes.blocks[static_cast<size_t>(place.other)];
        fprintf(stderr, "%s: note: %s (block %s) left out: %s\n", where.c_str(),
                Printable(modes.resolutions[i]).c_str(), Printable(modes.blocks[i]).c_str(),
                why.c_str());
    }
    if (modes.name != edid.name)
        fprintf(stderr, "%s: note: the EDID names the monitor \"%s\" (%zu characters at most)\n",
                where.c_str(), Printable(edid.name).c_str(), kEdidNameSize - 1);
}

// The summary of the EDID written: the preferred mode, where the modes went
// and the range.
void PrintMadeEdid(const std::string &out, const Tag_Monitor_Modes &modes,
                   const std::vector<Tag_Edid_Placement> &placements, const Tag_Edid &edid,
                   bool range_given) {
    size_t count[static_cast<int32_t>(Edid_Placed::kNowhere) + 1] = {};
    for (const Tag_Edid_Placement &place : placements)
        ++count[static_cast<int32_t>(place.where)];
    std::string preferred = "none";
    for (int32_t i = 0; i < edid.mode_count; ++i)
        if (edid.modes[i].preferred)
            preferred = ResolutionOf(edid.modes[i].timing);
    printf("%s: EDID %d.%d of %s written: %zu mode%s, the preferred %s: %zu as established "
           "timings, %zu as standard timings, %zu as detailed timings, %zu repeated, %zu left "
           "out; %s (%s)\n",
           Printable(out).c_str(), edid.version, edid.revision, Printable(modes.name).c_str(),
           placements.size(), placements.size() == 1 ? "" : "s", preferred.c_str(),
           count[static_cast<int32_t>(Edid_Placed::kEstablished)],
           count[static_cast<int32_t>(Edid_Placed::kStandard)],
           count[static_cast<int32_t>(Edid_Placed::kDetailed)],
           count[static_cast<int32_t>(Edid_Placed::kRepeat)],
           count[static_cast<int32_t>(Edid_Placed::kNowhere)], RangeText(edid.range).c_str(),
           range_given ? "as given" : "from the modes");
}

} // namespace

int RunMakeEdid(const Tag_Invocation &call) {
    const std::string &file = call.args[0];
    const std::string &out = call.args[2];
    Tag_Range_Option range;
    if (int status = ReadRangeOption(call, true, kExitRefused, &range); status != kExitOk)
        return status;
    const std::string *vendor = FindOption(call, "--vendor");
    const std::string *product_text = FindOption(call, "--product");
    uint64_t product = 0; // the encoder checks its range
    if (product_text != nullptr && !ParseWholeNumber(*product_text, INT32_MAX, &product))
        return UsageError(call.command, "--product needs a decimal number from 0 to 65535, not '" +
                                            Printable(*product_text) + "'");
    if (!OutputIsNotInput(file, out, RES_DAT_ERR_DATA_FILE))
        return kExitRefused;
    Tag_Database db;
    Tag_Monitor_Modes modes;
    if (!db.Load(file) || !ReadMonitorModes(file, call.args[1], &modes))
        return kExitRefused;
    const Tag_Edid_Request request = {modes.name.c_str(),
                                      vendor != nullptr ? vendor->c_str() : nullptr,
                                      static_cast<int32_t>(product),
                                      range.given ? &range.edid : nullptr,
                                      modes.timings.data(),
                                      static_cast<int32_t>(modes.timings.size())};
    std::vector<Tag_Edid_Placement> placements(modes.timings.size());
    uint8_t block[kEdidBlockSize];
    Tag_Timing_Error error{};
    Tag_Edid edid;
    if (!EncodeEdid(&request, block, placements.data(), nullptr, &error)) {
        Report(file, 0, RES_DAT_ERR_CONTENT,
               "no EDID of monitor " + modes.name + " can be made: " + error.reason,
               "nothing was written; see 'orvexres make-edid --help'");
        return kExitRefused;
    }
    if (!DecodeEdid(block, sizeof block, false, &edid, &error)) { // what a system reads
        Report(out, 0, RES_DAT_ERR_CONTENT,
               std::string("the EDID made does not decode: ") + error.reason,
               "nothing was written; report this with the data file");
        return kExitRefused;
    }
    if (!WriteOutput(out, block, sizeof block, "the EDID"))
        return kExitRefused;
    PrintMadeEdid(out, modes, placements, edid, range.given);
    NoteWhatIsLeftOut(out, modes, placements, edid);
    return kExitOk;
}
