// The database's error code, and what the most recent failing load found: one
// table gives each finding its code, its detail sentence and its hint.
#include "resdat/internal.h"
#include "resdat/resdat.h"

int32_t res_dat_err_flag = RES_DAT_ERR_NONE;

namespace {

struct Tag_Finding_Row {
    ResDatFinding finding;
    int32_t code;
    const char *detail; // a sentence with up to two "%s", no other '%'
    const char *hint;
};

constexpr char kFixIdHint[] = "write the id as Tn:WIDTHxHEIGHTxREFRESH, e.g. T0:640x480x60";
constexpr char kValueHint[] = "give the line a value after its '='";

constexpr Tag_Finding_Row kFindings[] = {
    {RES_DAT_FOUND_NOTHING, RES_DAT_ERR_NONE, "", ""},
    {RES_DAT_FOUND_NO_MEMORY, RES_DAT_ERR_OUT_OF_MEMORY, "out of memory",
     "the tool ran out of memory; close other programs and try again"},
    {RES_DAT_FOUND_CANNOT_OPEN, RES_DAT_ERR_DATA_FILE, "the file cannot be opened",
     "check the file name, and that the file exists and may be read"},
    {RES_DAT_FOUND_CANNOT_READ, RES_DAT_ERR_DATA_FILE, "the file cannot be read",
     "check the file name, and that the file exists and may be read"},
    {RES_DAT_FOUND_UNKNOWN_BLOCK, RES_DAT_ERR_CONTENT, "unknown block header (expected [M or [T)",
     "start a block with [M (a monitor) or [T (a timing block), or put ';' in front of the "
     "line to make it a comment"},
    {RES_DAT_FOUND_MONITOR_WITHOUT_NAME, RES_DAT_ERR_CONTENT, "monitor block without a name line",
     kValueHint},
    {RES_DAT_FOUND_NAME_WITHOUT_VALUE, RES_DAT_ERR_CONTENT, "monitor name line without a value",
     kValueHint},
    {RES_DAT_FOUND_DUPLICATE_MONITOR, RES_DAT_ERR_CONTENT, "duplicate monitor %s",
     "give each monitor a different name (names compare ignoring case)"},
    {RES_DAT_FOUND_RESOLUTION_WITHOUT_VALUE, RES_DAT_ERR_CONTENT,
     "resolution line of monitor %s without a value", kValueHint},
    {RES_DAT_FOUND_DUPLICATE_RESOLUTION, RES_DAT_ERR_CONTENT,
     "duplicate resolution %s in monitor %s",
     "remove the repeated timing line from the monitor block"},
    {RES_DAT_FOUND_MALFORMED_RESOLUTION, RES_DAT_ERR_CONTENT,
     "malformed resolution id \"%s\" in monitor %s (expected Tn:WxHxR)", kFixIdHint},
    {RES_DAT_FOUND_BLOCK_TOO_LONG, RES_DAT_ERR_CONTENT,
     "timing block %s is longer than 5119 characters",
     "end the block with an empty line, or shorten it"},
    {RES_DAT_FOUND_DUPLICATE_TIMING, RES_DAT_ERR_CONTENT, "duplicate timing block %s",
     "remove the repeated block or give it a different id"},
    {RES_DAT_FOUND_MALFORMED_TIMING, RES_DAT_ERR_CONTENT,
     "malformed timing block id \"%s\" (expected Tn:WxHxR)", kFixIdHint},
    {RES_DAT_FOUND_MISSING_VARIABLE, RES_DAT_ERR_CONTENT,
     "the required header variable %s is missing",
     "add it as a \"Name = value\" line outside the blocks, e.g. at the top of the file "
     "(DefMode, MemSize and MemConfig are required)"},
    {RES_DAT_FOUND_UNLINKED_RESOLUTION, RES_DAT_ERR_CONTENT,
     "resolution %s of monitor %s has no timing block",
     "add the timing block this line names, or correct or remove the line"},
};

ResDatFinding err_finding = RES_DAT_FOUND_NOTHING;
int32_t err_line = 0;
char err_detail[400] = "";

constexpr size_t kFindingRows = sizeof kFindings / sizeof kFindings[0];

// The table lists the findings in the order of their values, each once.
constexpr bool InOrder() {
    for (size_t i = 0; i < kFindingRows; ++i)
        if (kFindings[i].finding != static_cast<ResDatFinding>(i))
            return false;
    return kFindingRows == RES_DAT_FOUND_UNLINKED_RESOLUTION + 1;
}
static_assert(InOrder(), "one row per finding, in the order of their values");

// Each detail holds at most two "%s" and no other '%'.
constexpr bool DetailsFillable() {
    for (const Tag_Finding_Row &row : kFindings) {
        int fills = 0;
        for (const char *p = row.detail; *p != '\0'; ++p) {
            if (*p == '%' && (p[1] != 's' || ++fills > 2))
                return false;
        }
    }
    return true;
}
static_assert(DetailsFillable(), "a detail is a sentence with up to two %s");

// err_detail = the detail with its first "%s" replaced by a and the second by
// b, cut to fit. Written out rather than formatted with printf, which the
// installer programs, built on the database, do without.
void FillDetail(const char *detail, const char *a, const char *b) {
    const char *fills[2] = {a, b};
    int next = 0;
    size_t length = 0;
    auto put = [&length](char c) {
        if (length + 1 < sizeof err_detail)
            err_detail[length++] = c;
    };
    for (const char *p = detail; *p != '\0'; ++p) {
        if (*p != '%') {
            put(*p);
            continue;
        }
        for (const char *q = fills[next++]; *q != '\0'; ++q)
            put(*q);
        ++p; // the 's'
    }
    err_detail[length] = '\0';
}

// The row of a finding; that of RES_DAT_FOUND_NOTHING for a value outside the
// table.
const Tag_Finding_Row &RowOf(ResDatFinding finding) {
    size_t row = static_cast<size_t>(finding);
    return row < kFindingRows ? kFindings[row] : kFindings[RES_DAT_FOUND_NOTHING];
}

} // namespace

const char *GetResDatErrMeaning(int32_t code) {
    switch (code) {
    case RES_DAT_ERR_NONE:
        return "no error";
    case RES_DAT_ERR_OUT_OF_MEMORY:
        return "out of memory";
    case RES_DAT_ERR_CONTENT:
        return "content error";
    case RES_DAT_ERR_DATA_FILE:
        return "file cannot be opened, read or created";
    case RES_DAT_ERR_INI_FILE:
        return "INI file cannot be created";
    case RES_DAT_ERR_NOT_FOUND:
        return "monitor or resolution not found";
    default:
        return "unknown error";
    }
}

BOOLEAN ReportFinding(ResDatFinding finding, int32_t line, const char *a, const char *b) {
    const Tag_Finding_Row &row = RowOf(finding);
    res_dat_err_flag = row.code;
    err_finding = finding;
    err_line = line;
    FillDetail(row.detail, a != nullptr ? a : "", b != nullptr ? b : "");
    return FALSE;
}

void ClearFinding(void) {
    err_finding = RES_DAT_FOUND_NOTHING;
    err_line = 0;
    err_detail[0] = '\0';
}

ResDatFinding GetResDatErrFinding(void) {
    return err_finding;
}

int32_t GetResDatErrLine(void) {
    return err_line;
}

const char *GetResDatErrDetail(void) {
    return err_detail;
}

const char *GetResDatFindingHint(ResDatFinding finding) {
    return RowOf(finding).hint;
}
