// The monitor timing database of the Orvex installer.
//
// The database holds what a resolution data file ("ORVEXRES.DAT") describes:
// header variables of the board, a list of monitors with the resolutions each
// supports, and a list of timing blocks (the CRT timing text of one resolution
// at one refresh rate). The installer, the tools and outside callers compile
// against this header alone.
//
// Conventions
//   Results   Operations return a BOOLEAN (TRUE 1, FALSE 0), a record or a text;
//             null or FALSE means failure, and the reason is then stored in
//             res_dat_err_flag. A succeeding operation leaves it unchanged, so it
//             always holds the code of the most recent failure.
//   Texts     8-bit, NUL-terminated. Texts passed in are copied; texts handed
//             out are borrowed from the records unless said otherwise. Names of
//             monitors, resolutions and timing blocks, and header keys, compare
//             ignoring the case of ASCII letters.
//   Memory    All dynamic memory comes from malloc/free. The database owns its
//             records and texts until the lists are freed.
//   Threads   None: no operation may run concurrently with another.
//
// Resolution ids take three forms. In a data file: "T3:640x480x60" (block
// number, width, height, refresh). A resolution entry keeps the full form until
// it is linked, then the text after the first ":" ("640x480x60"). A timing
// record keeps the full form until it is reformatted, then the text between the
// first ":" and the last lower-case "x" ("640x480"), and its refresh text ("60")
// from the start.
#ifndef ORVEX_RESDAT_H
#define ORVEX_RESDAT_H

#include <stddef.h>
#include <stdint.h>

typedef unsigned char BOOLEAN;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

struct Tag_Resolution_Entry;
struct Tag_Timing_Info;

// One monitor. Created unmarked with an empty resolution list.
struct Tag_Monitor_Entry {
    char *monitor_id_string;        // owned: the monitor's name
    unsigned char marked;           // 0 or 1 (MarkMon, ClearFFMarks)
    Tag_Resolution_Entry *res_list; // owned: resolutions of this monitor
    Tag_Monitor_Entry *next;        // next monitor
};

// One resolution offered by one monitor.
struct Tag_Resolution_Entry {
    char *res_id_string;          // owned: full form, linked form after linking
    unsigned char marked;         // 0 or 1 (MarkRes, ClearFFMarks)
    Tag_Timing_Info *timing_info; // borrowed: set by LinkResEntryToTimingInfo
    Tag_Resolution_Entry *next;   // next resolution of the same monitor
};

// One timing block.
struct Tag_Timing_Info {
    char *res_id_string;   // owned: full form, "WxH" after reformatting
    char *refresh_string;  // owned: text after the last "x" of the id
    int32_t index;         // position in the timing list, from 0
    char *info_block;      // owned: block text, NUL-terminated
    Tag_Timing_Info *next; // next timing block
};

// ---------------------------------------------------------------------------
// Error code (errors.cpp)
// ---------------------------------------------------------------------------

// The codes of res_dat_err_flag. Their values are part of the interface and
// never change; this list is the one place that says what each means.
enum ResDatErrCode {
    RES_DAT_ERR_NONE = 0,          // no operation has failed
    RES_DAT_ERR_OUT_OF_MEMORY = 1, // an allocation or a copy failed
    // A content error: duplicate name, unknown monitor, resolution without a
    // timing block, malformed line, block or id, missing required header
    // variable, no resolution list or no marked resolution (INI writer).
    RES_DAT_ERR_CONTENT = 2,
    RES_DAT_ERR_DATA_FILE = 3, // the data file cannot be opened, read or created
    RES_DAT_ERR_INI_FILE = 4,  // the INI file cannot be created
    RES_DAT_ERR_NOT_FOUND = 6, // mark target not found, or no marked monitor (INI writer)
};

// 0 at start; set to a ResDatErrCode by every failing operation, never cleared
// by one.
extern int32_t res_dat_err_flag;

// A few words saying what a code means ("content error"); "unknown error" for a
// value that is not a code.
const char *GetResDatErrMeaning(int32_t code);

// What the most recent failing load found. Each finding has one code, one
// detail sentence (GetResDatErrDetail) and one hint for the person who keeps
// the file (GetResDatFindingHint).
enum ResDatFinding {
    RES_DAT_FOUND_NOTHING = 0,
    RES_DAT_FOUND_NO_MEMORY,                // code 1
    RES_DAT_FOUND_CANNOT_OPEN,              // code 3
    RES_DAT_FOUND_CANNOT_READ,              // code 3
    RES_DAT_FOUND_UNKNOWN_BLOCK,            // code 2: "[" not followed by M or T
    RES_DAT_FOUND_MONITOR_WITHOUT_NAME,     // code 2: monitor header on the last line
    RES_DAT_FOUND_NAME_WITHOUT_VALUE,       // code 2
    RES_DAT_FOUND_DUPLICATE_MONITOR,        // code 2
    RES_DAT_FOUND_RESOLUTION_WITHOUT_VALUE, // code 2
    RES_DAT_FOUND_DUPLICATE_RESOLUTION,     // code 2
    RES_DAT_FOUND_MALFORMED_RESOLUTION,     // code 2: an id without ":" and "x"
    RES_DAT_FOUND_BLOCK_TOO_LONG,           // code 2: more than 5119 characters
    RES_DAT_FOUND_DUPLICATE_TIMING,         // code 2
    RES_DAT_FOUND_MALFORMED_TIMING,         // code 2: an id without ":" and "x"
    RES_DAT_FOUND_MISSING_VARIABLE,         // code 2: DefMode, MemSize or MemConfig
    RES_DAT_FOUND_UNLINKED_RESOLUTION,      // code 2: no timing block of that id
};

// The finding of the most recent failing load (RES_DAT_FOUND_NOTHING when none).
enum ResDatFinding GetResDatErrFinding(void);

// The line of the data file (from 1) where the most recent failing load found
// its fault, or 0 when the fault has no line (a missing header variable, a file
// that cannot be opened or read).
int32_t GetResDatErrLine(void);

// The sentence saying what the most recent failing load found ("" when none).
const char *GetResDatErrDetail(void);

// What the keeper of the file can do about a finding ("" for none).
const char *GetResDatFindingHint(enum ResDatFinding finding);

// ---------------------------------------------------------------------------
// Records and lists (add.cpp, find.cpp, free.cpp)
// ---------------------------------------------------------------------------

// Append a new monitor to the list whose head *list_ptr holds (an empty list's
// head becomes the record). Null with code 2 when the name is already there
// (ignoring case), with code 1 when memory runs out; the list is then unchanged.
Tag_Monitor_Entry *AddMonitorEntry(const char *monitor_id_string, Tag_Monitor_Entry **list_ptr);

// Append a resolution in full form ("T3:640x480x60") to the named monitor of
// monitor_list. Code 2: no such monitor, the monitor already lists the id, or
// the id lacks a ":" or a lower-case "x" after it. Code 1: out of memory.
Tag_Resolution_Entry *AddResolutionEntry(const char *monitor_id_string, const char *res_id_string,
                                         Tag_Monitor_Entry *monitor_list);

// Append a timing block. block_size counts the bytes of info_block including
// its NUL; exactly that many bytes are copied and the copy is always
// NUL-terminated. The record's index is the tail's index plus 1 (0 in an empty
// list) and its refresh text is taken from the id. Code 2: duplicate id, an id
// without ":" and a following "x", or block_size below 1. Code 1: out of memory.
Tag_Timing_Info *AddTimingInfo(const char *res_id_string, const char *info_block,
                               int16_t block_size, Tag_Timing_Info **list_ptr);

// The first record in list order whose name equals the argument ignoring case,
// or null. They never touch the error code.
Tag_Monitor_Entry *FindMonitorEntry(const char *monitor_id_string, Tag_Monitor_Entry *entry_list);
Tag_Resolution_Entry *FindResolutionEntry(const char *res_id_string,
                                          Tag_Resolution_Entry *res_list);
Tag_Timing_Info *FindTimingInfo(const char *res_id_string, Tag_Timing_Info *timing_list);

// New texts derived from a full-form id, to be released by the caller with
// free(); null with code 1 when memory runs out.
//   GetRefreshFromResIDString  the part after the last "x" ("60"); the whole
//                              text when it holds no "x"
//   StripRes                   the part after the first ":" ("640x480x60"); the
//                              whole text when it holds no ":"
//   StripTiming                the part after the first ":" up to the last "x"
//                              ("640x480"); the whole text when it holds no ":"
//                              or no "x" after it
char *GetRefreshFromResIDString(const char *res_id_string);
char *StripRes(const char *res_id_string);
char *StripTiming(const char *res_id_string);

// Point every resolution entry of the database at the timing record of the same
// full-form id (the first in list order), and shorten the entry's id to its
// linked form (a new copy; the old text is released). Entries linked before
// are left as they are. Code 2 when an id has no timing record, code 1 when
// memory runs out: linking stops there and keeps the work already done; an
// entry is either linked in its short form or still as it was added.
BOOLEAN LinkResEntryToTimingInfo(void);

// Replace every timing record's id by a copy of its "WxH" form, in list order.
// Must run after linking. Code 1 when memory runs out: the records before keep
// their short forms, the others their full ones.
BOOLEAN ReformatTimingInfoResIDStrings(void);

// Release a list and everything it owns. The caller's head is not reset, and a
// resolution list leaves its borrowed timing records alone.
void FreeMonitorEntryList(Tag_Monitor_Entry *entry_list);
void FreeResolutionEntryList(Tag_Resolution_Entry *res_list);
void FreeTimingInfoList(Tag_Timing_Info *timing_list);

// ---------------------------------------------------------------------------
// The data file reader (readdat.cpp), the lists and the header variables
// (database.cpp)
// ---------------------------------------------------------------------------

// Load a resolution data file into the database, which should be empty (a
// fresh process, or after ResDatReset). On success the lists are linked and
// reformatted. On failure the code, the finding, its line and its detail say
// why (see above; the file format is in README.md). Records added before a
// failure stay in the lists.
BOOLEAN ReadDatFile(const char *f_name);

Tag_Monitor_Entry *GetMonitorEntryHead(void);
Tag_Timing_Info *GetTimingInfoHead(void);

// The header variables' texts, or null when no file gave them.
char *GetMemSize(void);
char *GetMemConfig(void);
char *GetBusType(void);
char *GetMemAddr(void);
char *GetDefaultRes(void);

// Replace a header variable by a copy of the (non-null) text. When the copy
// fails the variable is left null, with code 1 and FALSE.
BOOLEAN SetMemSize(const char *new_mem_size);
BOOLEAN SetBusType(const char *new_bus_type);
BOOLEAN SetMemAddr(const char *new_mem_addr);
BOOLEAN SetDefaultRes(const char *new_default_res);

// Where the most recent load read a record: the lines (from 1) of its block's
// header and of the block's last line (the header itself for an empty block).
// FALSE for a record that load did not read (added by hand or by an earlier
// load). For the tools, which point at the file's lines.
BOOLEAN GetResDatTimingLines(const Tag_Timing_Info *info, int32_t *first_line, int32_t *last_line);
BOOLEAN GetResDatMonitorLines(const Tag_Monitor_Entry *monitor, int32_t *first_line,
                              int32_t *last_line);
// The line of a resolution entry the most recent load read; FALSE for an entry
// it did not read.
BOOLEAN GetResDatResolutionLine(const Tag_Resolution_Entry *entry, int32_t *line);

// The line (from 1) of the file's last line when the most recent load dropped
// it: a resolution line or a timing block's line without a line end, which
// the format leaves out; 0 when it dropped nothing.
int32_t GetResDatDroppedLine(void);

// Not part of the installer's flow: return the database to the state of a fresh
// process (lists freed, header texts released, cursors reset, error code 0,
// detail cleared), so that tools and tests can load more than one file.
void ResDatReset(void);

// ---------------------------------------------------------------------------
// The data file's syntax (syntax.cpp, readdat.cpp)
// ---------------------------------------------------------------------------

// Lines of the data file as the writer writes them and the reader reads them,
// for the tools that edit a file in place or print parts of one. A composer
// writes its text, lines ended by "\n", into buffer (size bytes, the NUL
// included) and returns TRUE; FALSE, with buffer holding "" (when size > 0),
// when the text does not fit, or when a line would not read back as given:
// longer than the reader takes at once, or a value the reader would cut.
// Numbers are decimal; a block id is "T" number ":" resolution.

// Room for one line as the reader takes it: 255 characters with the line end,
// and the NUL.
const size_t kResDatLineSize = 256;

// "640x480x60": the resolution of that width, height and refresh, the form a
// linked resolution entry holds.
BOOLEAN ComposeResolutionId(char *buffer, size_t size, int64_t width, int64_t height,
                            int64_t refresh);
// "T3:640x480x60": a block id of that number and resolution.
BOOLEAN ComposeBlockId(char *buffer, size_t size, int64_t number, int64_t width, int64_t height,
                       int64_t refresh);
// The id WriteResDatFile gives a linked timing record: its index, its
// "WxH" and its refresh ("T3:640x480x60").
BOOLEAN ComposeTimingId(char *buffer, size_t size, const Tag_Timing_Info *info);
// A monitor block's header and name lines: "[M3]\nname=NAME\n", the name in
// double quotes where the reader would otherwise cut it. FALSE too for a name
// no line can hold (empty, with a line end, Ctrl-Z or a double quote the
// reader would take for the end of the value).
BOOLEAN ComposeMonitorBlock(char *buffer, size_t size, int64_t number, const char *name);
// A monitor block's resolution line: "timing3 = T0:640x480x60\n".
BOOLEAN ComposeResolutionLine(char *buffer, size_t size, int64_t number, const char *block_id);
// A timing block's header line: "[T0:640x480x60]\n".
BOOLEAN ComposeTimingHeader(char *buffer, size_t size, const char *block_id);

// The value of a "key = value" line as the reader takes it (header
// variables, a monitor's name and resolution lines): after the first "=",
// spaces skipped; in double quotes up to the closing one, else up to the first
// ";" or line end. Cut out of the line in place; null when the line has none.
char *GetLineValue(char *file_line);
// The block id of a timing block header line ("[T3:640x480x60]" gives
// "T3:640x480x60"): from the "T" up to the first "]", blank or line end,
// copied into id (size bytes). FALSE when the line does not start "[T" or the
// id does not fit.
BOOLEAN GetBlockHeaderId(const char *header_line, char *id, size_t size);
// The number of a block id ("T3:640x480x60" gives 3): the digits between its
// "T" and the first ":". FALSE when the id has no such number (or one of more
// than 18 digits).
BOOLEAN GetBlockNumber(const char *block_id, int64_t *number);

// ---------------------------------------------------------------------------
// Enumeration and marking (enum.cpp, mark.cpp)
// ---------------------------------------------------------------------------

// Cursor walks, one cursor each; starting a walk again discards the previous
// one. They hand out borrowed texts and expect the linked lists.
//   EnumMonitorNames   first_time non-zero restarts at the head; returns the
//                      next monitor name, null when exhausted.
//   EnumResNames       a name restarts at that monitor's resolutions (null at
//                      once when the monitor is unknown), null continues;
//                      returns the next resolution id ("640x480x60").
//   EnumTimingBlocks   as EnumResNames with its own cursor; returns the next
//                      entry's timing block text and stores the timing record's
//                      id ("640x480") through resolution_id_string, which is left
//                      as it was when the walk is exhausted.
char *EnumMonitorNames(BOOLEAN first_time);
char *EnumResNames(const char *monitor_id_string);
char *EnumTimingBlocks(const char *monitor_id_string, char **resolution_id_string);

// Marks for the INI writer. Marks accumulate until ClearFFMarks. A name not in
// the database: code 6, FALSE, nothing changed. MarkRes does not mark the
// monitor itself.
BOOLEAN MarkMon(const char *monitor_id_string);
BOOLEAN MarkRes(const char *monitor_id_string, const char *res_id_string);
void ClearFFMarks(void);
// The first marked monitor in list order, or null.
Tag_Monitor_Entry *GetMarkedMonEntry(void);

// ---------------------------------------------------------------------------
// Writers (write.cpp)
// ---------------------------------------------------------------------------

// Write the database as a resolution data file (CR LF line ends), the timing
// blocks renumbered by position. Code 3 when the file cannot be created.
BOOLEAN WriteResDatFile(const char *file_name);

// Write the driver INI file for the marked monitor and its first marked
// resolution. Code 6: no monitor marked; code 2: the monitor has no resolutions
// or none marked (no file is created in these cases); code 4: the file cannot be
// created.
BOOLEAN WriteResIniFile(const char *file_name);

#endif
