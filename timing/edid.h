// EDID: what a monitor reports about itself (VESA E-EDID 1.3 and 1.4, with
// CTA-861 extension blocks), read from its bytes or from a hex dump and
// decoded into what the resolution data file needs: a name, the range limits
// and the modes, each a Tag_Video_Timing (timing/timing.h).
//
// Conventions as in timing/timing.h: pure functions, no allocation, output
// into the caller's records and buffers, a Tag_Timing_Error for every refusal.
#ifndef ORVEX_TIMING_EDID_H
#define ORVEX_TIMING_EDID_H

#include <stddef.h>
#include <stdint.h>

#include "timing/timing.h"

// An EDID is one or more blocks of 128 bytes: the base block, then as many
// extension blocks as its byte 126 names (at most 255).
const size_t kEdidBlockSize = 128;
const int32_t kEdidMaxBlocks = 256;
const size_t kEdidMaxSize = kEdidBlockSize * kEdidMaxBlocks; // 32768

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------

// Read an EDID as a file or a pipe gives it into bytes (capacity bytes of
// room; kEdidMaxSize holds the longest EDID); *count receives the number of
// bytes read. The input is one of:
//
// - binary, when it holds a byte 0x00 anywhere (every EDID does: its header
//   starts and ends with one; no hex text has one): the bytes as they are;
// - hex text otherwise: words separated by white space (space, tab, line
//   ends, vertical tab, form feed), each an even number of hex digits (either
//   case), two digits a byte: "00 ff ff", "00ffff" and the 32-digit lines of
//   a sysfs or X server dump all read. The first non-blank line may be the
//   heading "edid-decode (hex):" that edid-decode prints. The hex part ends at
//   the end of the text or at the first line made of '-' characters alone
//   (blanks around them allowed), the line edid-decode prints between its
//   dump and its decoded output; nothing after that line is read.
//
// Refusals: Timing_Error_Code::kSyntax for a word that is not hex or has an odd
// number of digits (the reason quotes the word and gives its line and byte
// offset in the text); Timing_Error_Code::kBuffer when the bytes exceed capacity (the
// reason gives the offset in the input where they do). Whether the bytes make
// an EDID (their length included: none, a part block, the extension count) is
// DecodeEdid's to say. An input of any size is read or refused within
// capacity.
bool ReadEdidInput(const uint8_t *input, size_t input_size, uint8_t *bytes, size_t capacity,
                   size_t *count, Tag_Timing_Error *error);

// ---------------------------------------------------------------------------
// Decoding
// ---------------------------------------------------------------------------

// Where a mode came from.
enum class Edid_Source : int32_t {
    kDetailed = 0,    // a detailed timing descriptor (DTD)
    kEstablished = 1, // established timings I and II, and byte 37 bit 7
    kStandard = 2,    // a standard timing (2-byte code)
};

// How its numbers were had.
enum class Edid_Method : int32_t {
    kDetailed = 0,   // read from the descriptor
    kDmt = 1,        // the DMT mode (timing/vesa.h), dmt_id
    kPublished = 2,  // an established timing outside DMT: its published timing
    kGtf = 3,        // GTF, default curve
    kCvt = 4,        // CVT, CRT blanking
    kCvtReduced = 5, // CVT, reduced blanking v1
};

// One mode. The timing's nominal refresh is, for a DTD, its computed refresh
// rounded to the nearest whole Hz (halves up); for established and standard
// timings, the rate they are named by (640x480 at 72.809 Hz is 72).
struct Tag_Edid_Mode {
    Tag_Video_Timing timing;
    Edid_Source source;
    Edid_Method method;
    int32_t block; // the block it is in, 0 the base block
    // DTD: its number among the DTDs of its block, from 1. Established: the
    // bit, from 0 (byte 35 bit 7) to 16 (byte 37 bit 7). Standard: from 1 to
    // 8 in the base block's list, then on from 9 through the standard timing
    // descriptors (0xFA), six each, in block order.
    int32_t index;
    int32_t dmt_id; // of Edid_Method::kDmt; 0 otherwise
};

// Why a mode was not taken. Each is counted in Tag_Edid.skipped, at the
// kind's value.
enum class Edid_Skip : int32_t {
    kInterlaced = 0, // an interlaced DTD, or 1024x768 at 87 Hz interlaced
    kStereo = 1,     // a DTD with stereo (and not interlaced)
    kComposite = 2,  // a DTD with composite sync (analog or digital)
    kShape = 3,      // numbers CheckTimingShape refuses
    kFormula = 4,    // a standard timing the formulas here do not give
    kRoom = 5,       // a distinct mode beyond kEdidModeMax
};
const int32_t kEdidSkipKinds = 6;

// The Display Range Limits descriptor (0xFD). In EDID 1.4 its byte 4 may add
// 255 to the maximum (and the minimum) rates; that is applied here. The
// clock: byte 9 in 10 MHz, less byte 12's 0.25 MHz steps when the descriptor
// declares CVT support (EDID 1.4).
enum class Edid_Range_Support : int32_t {
    kGtf = 0,          // byte 10 = 0x00: default GTF
    kLimitsOnly = 1,   // 0x01: range limits only
    kSecondaryGtf = 2, // 0x02: secondary GTF curve
    kCvt = 4,          // 0x04: CVT support (EDID 1.4)
};
struct Tag_Edid_Range {
    bool present;     // the base block has the descriptor (the first one counts)
    int32_t v_min_hz; // vertical rate, Hz
    int32_t v_max_hz;
    int32_t h_min_khz; // horizontal rate, kHz
    int32_t h_max_khz;
    int32_t max_clock_khz;      // maximum pixel clock, kHz
    Edid_Range_Support support; // byte 10: one of the above, or another value as given
    bool cvt_standard;          // CVT support: standard (CRT) blanking supported (byte 15 bit 3)
    bool cvt_reduced;           // CVT support: reduced blanking supported (byte 15 bit 4)
};

// Room for modes: more distinct modes than this are counted (Edid_Skip::kRoom).
const int32_t kEdidModeMax = 128;
// The name: 13 characters at most, and the NUL.
const size_t kEdidNameSize = 14;

struct Tag_Edid {
    int32_t version;            // byte 18: 1
    int32_t revision;           // byte 19: 3 for EDID 1.3, 4 for 1.4
    int32_t block_count;        // blocks decoded
    int32_t bad_checksum_count; // blocks whose checksum is wrong (decoded with force)
    char manufacturer[4];       // three letters ('?' for a code outside A .. Z)
    int32_t product_code;       // bytes 10-11
    // The Display Product Name descriptor (0xFC) of the base block, the first
    // one: up to its line feed (or a byte 0x00), without trailing spaces,
    // bytes outside printable ASCII as '?'. When there is none, or it is
    // blank: the manufacturer code, a space and the product code as four
    // upper-case hex digits, "ABC 04D2" (as Windows names monitors, but
    // with the space).
    char name[kEdidNameSize];
    bool name_from_descriptor; // false: the fallback
    Tag_Edid_Range range;
    Tag_Edid_Mode modes[kEdidModeMax];
    int32_t mode_count;
    int32_t duplicate_count;         // modes dropped as equal to an earlier one
    int32_t skipped[kEdidSkipKinds]; // by Edid_Skip
};

// Decode size bytes as an EDID into *edid (overwritten in full when the
// bytes are taken; left alone on a refusal).
//
// The bytes are checked first, in this order, each refusal naming the block
// or the byte offset: there are bytes, a whole number of 128-byte blocks
// (Timing_Error_Code::kEdid); block 0 starts with the header 00 ff ff ff ff ff
// ff 00 (kEdid); its byte 126 names exactly the extension blocks there are
// (kEdid); each block's 128 bytes sum to 0 modulo 256 (kChecksum, e.g. "block
// 1 (CTA-861) checksum is 0x3c, should be 0x3d to make the sum 0"; with force
// the blocks are decoded all the same and counted in bad_checksum_count); the
// version (byte 18) is 1 (kEdid).
//
// The modes, each distinct one once, in this order:
// - the DTDs of the base block's four descriptors, then of each CTA-861
//   extension block (tag 0x02; from the offset in its byte 2 up to the
//   checksum, ending at the first descriptor whose clock is 0). Borders lie
//   within the blanking, as EDID counts them: total = active + blanking, and
//   each border is folded into its porch. Interlaced, stereo and composite
//   sync descriptors are skipped and counted (a timing block holds
//   progressive modes with separate syncs);
// - the established timings I and II and the manufacturer's 1152x870 at 75
//   (byte 37 bit 7), in bit order: DMT modes by the DMT list; 720x400 at 70
//   and 88 Hz (IBM VGA, 28.32 and 35.5 MHz), 640x480 at 67, 832x624 at 75 and
//   1152x870 at 75 (Apple) by their published timings; 1024x768 at 87 Hz
//   interlaced is skipped and counted;
// - the standard timings: the base block's eight, then those of the standard
//   timing descriptors (0xFA) of the base block. Codes 01 01 and those whose
//   first byte is 00 are unused. Width (byte 1 + 31) * 8, height by the
//   aspect ratio (rounded down; code 0 is 16:10 from EDID 1.3 on, 1:1
//   before), refresh (byte 2 & 0x3f) + 60. The DMT mode of that size and rate
//   where there is one (FindDmtMode); otherwise by formula: before EDID 1.4,
//   GTF (but not when the range limits declare a secondary GTF curve, which
//   is not computed here: such a timing is skipped, Edid_Skip::kFormula); from
//   EDID 1.4 on, CVT with CRT blanking, or with reduced blanking (v1) when
//   the range limits declare CVT support with reduced blanking and without
//   standard blanking.
// A mode is a duplicate of an earlier one when every number of its timing
// (clock, counts, cursor offsets, polarities) is the same; the nominal
// refresh, a name, is not compared. Every mode taken passes
// CheckTimingShape; one that does not is skipped (Edid_Skip::kShape).
//
// Other extension blocks (block maps, DisplayID, ...) and the other
// descriptors are passed over.
bool DecodeEdid(const uint8_t *bytes, size_t size, bool force, Tag_Edid *edid,
                Tag_Timing_Error *error);

// Room that any text DescribeEdidMode writes fits in, NUL included.
const size_t kEdidDescriptionSize = 96;

// Where a mode came from, for a comment line, e.g.
//   "DTD 1 of block 0"
//   "DTD 2 of block 1 (CTA-861)"
//   "established timing 640x480@60 (DMT 0x04)"
//   "established timing 720x400@70 (IBM)"
//   "standard timing 2 of block 0: 1280x1024@60 (DMT 0x23)"
//   "standard timing 5 of block 0: 1280x800@70 (CVT)"
// (the size and rate being the timing's active counts and nominal refresh).
// False when it does not fit in size bytes; the buffer then holds "" (when
// size > 0).
bool DescribeEdidMode(const Tag_Edid_Mode *mode, char *buffer, size_t size);

// A short English name of a skip kind ("interlaced"); "" for another value.
const char *DescribeEdidSkip(Edid_Skip kind);

#endif
