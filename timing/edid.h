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
#include "timing/vesa.h"

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
    kDetailed = 0,     // a detailed timing descriptor (DTD)
    kEstablished = 1,  // established timings I and II, and byte 37 bit 7
    kStandard = 2,     // a standard timing (2-byte code)
    kEstablished3 = 3, // the established timings III descriptor (0xF7)
    kCvtCode = 4,      // a CVT 3-byte code (descriptor 0xF8)
    kVideo = 5,        // a short video descriptor of a CTA-861 video data block
};
const int32_t kEdidSourceKinds = 6;

// How its numbers were had.
enum class Edid_Method : int32_t {
    kDetailed = 0,     // read from the descriptor
    kDmt = 1,          // the DMT mode (timing/vesa.h), dmt_id
    kPublished = 2,    // an established timing outside DMT: its published timing
    kGtf = 3,          // GTF, default curve
    kCvt = 4,          // CVT, CRT blanking
    kCvtReduced = 5,   // CVT, reduced blanking v1
    kGtfSecondary = 6, // GTF on the range limits' secondary curve
    kCta = 7,          // the CTA-861 video format of the VIC, vic
};

// One mode. The timing's nominal refresh is, for a DTD and a CTA-861 video
// format, its computed refresh rounded to the nearest whole Hz (halves up);
// for the others, the rate they are named by (640x480 at 72.809 Hz is 72).
struct Tag_Edid_Mode {
    Tag_Video_Timing timing;
    Edid_Source source;
    Edid_Method method;
    int32_t block; // the block it is in, 0 the base block
    // DTD: its number among the DTDs of its block, from 1. Established: the
    // bit, from 0 (byte 35 bit 7) to 16 (byte 37 bit 7). Standard: from 1 to
    // 8 in the base block's list, then on from 9 through the standard timing
    // descriptors (0xFA), six each, in block order. Established III: the bit,
    // from 0 (byte 6 bit 7) to 43. CVT code: from 1 through the CVT
    // descriptors, four each. Video: the short video descriptor's number
    // among those of its block, from 1.
    int32_t index;
    int32_t dmt_id; // of Edid_Method::kDmt; 0 otherwise
    int32_t vic;    // of Edid_Method::kCta; 0 otherwise
    // The EDID marks it as preferred: the base block's first DTD, a CVT
    // code's mode at its preferred rate (at 60 Hz with both blankings, the
    // reduced one), a short video descriptor's native flag.
    bool preferred;
};

// Why a mode was not taken. Each is counted in Tag_Edid.skipped, at the
// kind's value.
enum class Edid_Skip : int32_t {
    kInterlaced = 0,  // an interlaced DTD or video format, 1024x768 at 87 Hz
    kStereo = 1,      // a DTD with stereo (and not interlaced)
    kComposite = 2,   // a DTD with composite sync (analog or digital)
    kShape = 3,       // numbers CheckTimingShape refuses
    kFormula = 4,     // a standard timing the formulas here do not give
    kRoom = 5,        // a distinct mode beyond kEdidModeMax
    kSameId = 6,      // the size and whole refresh of a mode kept (see DecodeEdid)
    kUnknownCode = 7, // a VIC the CTA-861 table does not hold (0, 128, 220 ...)
};
const int32_t kEdidSkipKinds = 8;

// What the decoder passed over or took despite a fault. Tag_Edid.notes holds
// them as a set, each at its bit (GetEdidNoteBit); DescribeEdidNote names
// each.
enum class Edid_Note : int32_t {
    kTrailingBlocks = 0,       // bytes after the announced blocks
    kDataBlockOverrun = 1,     // a CTA-861 data block runs past its area
    kEstablished3Revision = 2, // an 0xF7 descriptor of another revision
    kCvtVersion = 3,           // an 0xF8 descriptor of another version
    kCvtReservedBits = 4,      // a CVT code with reserved bits set
};
const int32_t kEdidNoteKinds = 5;

// The bit of a note in Tag_Edid.notes.
constexpr uint32_t GetEdidNoteBit(Edid_Note note) {
    return 1u << static_cast<int32_t>(note);
}

// The Display Range Limits descriptor (0xFD). In EDID 1.4 its byte 4 may add
// 255 to the maximum (and the minimum) rates; that is applied here. The
// clock: byte 9 in 10 MHz, less byte 12's 0.25 MHz steps when the descriptor
// declares CVT support (EDID 1.4). A secondary GTF curve: byte 12 the start
// frequency in 2 kHz, byte 13 C doubled, bytes 14-15 M (low byte first),
// byte 16 K, byte 17 J doubled.
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
    int32_t gtf_start_khz;      // secondary GTF: from this horizontal frequency on
    Tag_Gtf_Curve gtf_curve;    // secondary GTF: the curve
};

// Room for the skipped modes kept by name (Tag_Edid.skips); more are only
// counted.
const int32_t kEdidSkipListMax = 64;

// A mode not taken: its kind and where it came from. mode.timing holds the
// numbers where they were had (a mode of another's resolution id, not in
// shape, beyond the room), zeros otherwise; mode.vic holds an unknown VIC.
struct Tag_Edid_Skip {
    Edid_Skip kind;
    Tag_Edid_Mode mode;
    int32_t kept; // Edid_Skip::kSameId: the index in modes of the mode kept; -1 otherwise
};

// Room for modes: more distinct modes than this are counted (Edid_Skip::kRoom).
const int32_t kEdidModeMax = 128;
// The name: 13 characters at most, and the NUL.
const size_t kEdidNameSize = 14;

struct Tag_Edid {
    int32_t version;            // byte 18: 1
    int32_t revision;           // byte 19: 3 for EDID 1.3, 4 for 1.4
    int32_t block_count;        // blocks decoded: the base block and those it announces
    int32_t trailing_blocks;    // whole blocks after those, not decoded
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
    int32_t duplicate_count; // modes dropped as equal to an earlier one
    // Of those, by source, the ones equal to a DTD taken before them (a
    // standard timing folded into the detailed timing it repeats).
    int32_t folded[kEdidSourceKinds];
    int32_t skipped[kEdidSkipKinds];       // by Edid_Skip
    Tag_Edid_Skip skips[kEdidSkipListMax]; // the first skipped modes, in decoding order
    int32_t skip_count;                    // entries of skips
    uint32_t notes;                        // the Edid_Note bits (GetEdidNoteBit)
};

// Decode size bytes as an EDID into *edid (overwritten in full when the
// bytes are taken; left alone on a refusal).
//
// The bytes are checked first, in this order, each refusal naming the block
// or the byte offset: there are bytes, a whole number of 128-byte blocks
// (Timing_Error_Code::kEdid); block 0 starts with the header 00 ff ff ff ff ff
// ff 00 (kEdid); its byte 126 names no more extension blocks than there are
// (kEdid); each announced block's 128 bytes sum to 0 modulo 256 (kChecksum,
// e.g. "block 1 (CTA-861) checksum is 0x3c, should be 0x3d to make the sum
// 0"; with force the blocks are decoded all the same and counted in
// bad_checksum_count); the version (byte 18) is 1 (kEdid). Blocks after the
// announced ones (a 256-byte dump whose second half repeats a base block that
// announces no extension) are not decoded nor checked: they are counted in
// trailing_blocks, with Edid_Note::kTrailingBlocks.
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
//   where there is one (FindDmtMode); otherwise by the formula the range
//   limits name: CVT when they declare CVT support (EDID 1.4), with reduced
//   blanking (v1) when they declare it and not standard blanking; GTF
//   otherwise. With a secondary GTF curve declared, a mode whose horizontal
//   frequency (the same on either curve) reaches the curve's start frequency
//   is computed on that curve, as GTF has it (MakeGtfCurveTiming; a result it
//   refuses is skipped, Edid_Skip::kShape), a mode below it on the default curve;
// - the established timings III of the base block's 0xF7 descriptors
//   (revision 0x0A; another is passed over with Edid_Note::kEstablished3Revision):
//   44 bits, byte 6 bit 7 to byte 11 bit 4, each a DMT mode of the published
//   list; the reserved bits are not read;
// - the CVT 3-byte codes of the base block's 0xF8 descriptors (version 0x01;
//   another is passed over with Edid_Note::kCvtVersion), four a descriptor, an
//   all-zero code unused: lines ((byte 1 >> 4) * 256 + byte 0 + 1) * 2, the
//   width 8 * ((lines * aspect) / 8) rounded down for the aspect of byte 1
//   bits 3-2 (4:3, 16:9, 16:10, 15:9); one CVT mode for each rate byte 2
//   declares (bit 4: 50 Hz, 3: 60, 2: 75, 1: 85 with CRT blanking, bit 0: 60
//   Hz with reduced blanking v1), the one at the preferred rate of bits 6-5
//   marked preferred. A code with reserved bits set (byte 1 bits 1-0, byte 2
//   bit 7) is decoded all the same, with Edid_Note::kCvtReservedBits;
// - the short video descriptors of each CTA-861 extension's video data blocks
//   (revision 3 on: the data blocks from byte 4 up to the DTD offset of byte
//   2; a block whose length runs past that ends the reading, with
//   Edid_Note::kDataBlockOverrun): byte 1 .. 127 VIC 1 .. 127, 129 .. 192 VIC 1
//   .. 64 marked native (preferred), 193 .. 255 the VIC itself; each the
//   progressive format of the CTA-861 table (GetCtaVicTiming), an interlaced
//   one skipped and counted, a VIC the table lacks (0, 128, 220 ...) counted
//   as Edid_Skip::kUnknownCode.
// A mode is a duplicate of an earlier one when every number of its timing
// (clock, counts, cursor offsets, polarities) is the same; the nominal
// refresh, a name, is not compared. Every mode taken passes
// CheckTimingShape; one that does not is skipped (Edid_Skip::kShape). Then,
// since a data file names a monitor's modes by size and whole refresh, a
// mode of the same active size and nominal refresh as one kept (a CVT code's
// mode and its reduced-blanking twin, a DTD and the DMT mode of its size) is
// skipped as Edid_Skip::kSameId; but a preferred mode takes the place of a kept
// one that is not preferred, which is then the one skipped, and so does a
// listed mode (established, standard, CVT code, VIC) the place of a DTD that
// states it as closely as 10 kHz clock units can (every number the same, the
// clock the listed one rounded: 25.18 MHz for 640x480 at 60 Hz's 25.175), the
// place keeping the DTD's preference. Every skipped
// mode is counted by kind in skipped and, the first kEdidSkipListMax, kept in
// skips.
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
//   "standard timing 1 of block 0: 1920x1440@85 (GTF secondary curve)"
//   "established timing III 1440x900@60 (DMT 0x2f)"
//   "CVT code 1 of block 0: 1920x1200@60 (CVT reduced blanking)"
//   "video descriptor 3 of block 1: 1920x1080@50 (CTA-861 VIC 31)"
// (the size and rate being the timing's active counts and nominal refresh).
// False when it does not fit in size bytes; the buffer then holds "" (when
// size > 0).
bool DescribeEdidMode(const Tag_Edid_Mode *mode, char *buffer, size_t size);

// A short English name of a skip kind ("interlaced"); "" for another value.
const char *DescribeEdidSkip(Edid_Skip kind);

// The clock a detailed timing states for a clock: rounded to the nearest
// 10 kHz (halves up).
int64_t GetDetailedClock(int64_t clock_hz);

// One English sentence on a note, without a line end; "" for another value.
const char *DescribeEdidNote(Edid_Note note);

// ---------------------------------------------------------------------------
// Encoding
// ---------------------------------------------------------------------------

// What to encode: an analog monitor and its modes.
struct Tag_Edid_Request {
    const char *name;              // the monitor's name; its first 13 characters are written
    const char *vendor;            // three letters A .. Z (either case); null: "ORV"
    int32_t product_code;          // 0 .. 65535
    const Tag_Edid_Range *range;   // the range limits (present); null: derived from the modes
    const Tag_Video_Timing *modes; // the modes, the first the preferred one
    int32_t mode_count;            // 1 .. kEdidEncodeModeMax
};
const int32_t kEdidEncodeModeMax = 1024;

// Where a mode went (Tag_Edid_Placement.where).
enum class Edid_Placed : int32_t {
    kDetailed = 0,    // a detailed timing descriptor
    kEstablished = 1, // an established timing bit
    kStandard = 2,    // a standard timing code
    kRepeat = 3,      // equal to an earlier mode: nothing more to write
    kNowhere = 4,     // not written; reason says why
};

// Why a mode went nowhere (Tag_Edid_Placement.reason; DescribeEdidUnplaced).
enum class Edid_Unplaced : int32_t {
    kNone = 0,
    kNoRoom = 1,  // no list holds it and no descriptor is left
    kClock = 2,   // above 655.35 MHz, or not a multiple of 10 kHz
    kFields = 3,  // a count beyond a detailed timing's field, a cursor offset
    kRefresh = 4, // a detailed timing would name it by another refresh
    kSameId = 5,  // another mode of its size and refresh is written
};
const int32_t kEdidUnplacedKinds = 6;

struct Tag_Edid_Placement {
    Edid_Placed where;
    Edid_Unplaced reason; // Edid_Unplaced::kNone unless nowhere
    int32_t other;        // Edid_Placed::kRepeat, Edid_Unplaced::kSameId: the earlier mode's index
};

// Encode an EDID 1.3 of one 128-byte block for an analog monitor (separate
// syncs, 0.7 V, RGB colour, sRGB and its chromaticity, gamma 2.2, no extension)
// into block, and where each mode went into placements (request->mode_count
// entries; may be null) and the range limits written into *range_written
// (may be null). The block:
// - vendor and product code; serial number 0; made in 2026, no week;
// - the preferred detailed timing in the first descriptor: the first mode
//   that a detailed timing holds exactly, or that one holds but for its clock
//   rounded to 10 kHz (GetDetailedClock) and that an established timing bit
//   or a standard timing code also gives exactly, which it is then also
//   written as (640x480 at 60 Hz, 25.175 MHz: a DTD of 25.18 MHz and the
//   established bit; decoding takes the bit's numbers in the DTD's place).
//   Modes before it (none, as a rule) go where the others go;
// - each other mode, in order: an established timing bit or a standard
//   timing code when decoding one gives it back equal in every number,
//   nominal refresh included (DecodeEdid's rules; the standard timings by
//   DMT or default GTF); otherwise a detailed timing while a descriptor is
//   left (one: the other two hold the name and the range limits); otherwise
//   nowhere, with the reason. A mode equal in every number to an earlier
//   one is a repeat; one of the size and nominal refresh of a mode written is
//   not written (decoding would drop it);
// - a detailed timing holds a mode exactly when its clock is a multiple of
//   10 kHz up to 655.35 MHz, its active counts and blankings fit 12 bits, its
//   front porches and syncs 10 (horizontal) and 6 (vertical) bits, its cursor
//   offsets are 0 and its nominal refresh is the nearest whole Hz of its rate;
// - the Display Range Limits (0xFD, default GTF): the given ones, or from the
//   modes, rounded outward to whole kHz and Hz, the clock up to a multiple of
//   10 MHz; each rate 1 .. 255, the clock up to 2550 MHz;
// - the Display Product Name (0xFC): the name's first 13 characters, bytes
//   outside printable ASCII as '?', ended by a line feed and padded with
//   spaces; a descriptor left over is a dummy (0x10).
// Decoding the block (DecodeEdid) gives back every mode placed, equal in every
// number, nominal refresh included, and no other.
//
// Refusals, Timing_Error_Code::kRequest with a reason naming the value: no modes or
// more than kEdidEncodeModeMax, a mode CheckTimingShape refuses, a name that
// is null or blank, a vendor that is not three letters, a product code
// outside 0 .. 65535, range limits out of order or beyond what the
// descriptor holds (derived ones too: a mode at 300 kHz), no mode a detailed
// timing holds exactly for the preferred one (the first mode's reason is
// given: "its clock 700.000 MHz is above the 655.35 MHz a detailed timing
// holds"). Nothing is written to block on a refusal.
bool EncodeEdid(const Tag_Edid_Request *request, uint8_t block[kEdidBlockSize],
                Tag_Edid_Placement *placements, Tag_Edid_Range *range_written,
                Tag_Timing_Error *error);

// One English phrase on why a mode went nowhere ("no descriptor is left for
// it"); "" for another value.
const char *DescribeEdidUnplaced(Edid_Unplaced reason);

// ---------------------------------------------------------------------------
// The CTA-861 video formats
// ---------------------------------------------------------------------------

// What GetCtaVicTiming found.
enum class Cta_Vic_Result : int32_t {
    kProgressive = 0, // the timing is filled
    kInterlaced = 1,  // an interlaced format: no timing
    kUnknown = 2,     // no such VIC in the table: 0, 128, 220 .. 255 ...
};

// The timing of a CTA-861 video format by its VIC (1 .. 127, 193 .. 219), as
// the published table gives it: the clock of its first rate (59.94 Hz for
// 720x480: 27.000 MHz), the porches and syncs, positive syncs for the
// high-definition formats and negative for the others, the active width
// with pixel repetition included (VIC 14: 1440x480). The nominal refresh is
// the computed refresh rounded to the nearest whole Hz. Formats that differ
// only in picture aspect have the same timing. Returns kProgressive, or
// kInterlaced or kUnknown with Timing_Error_Code::kNotFound and the reason
// ("CTA-861 VIC 5 is an interlaced format", "no CTA-861 VIC 220").
Cta_Vic_Result GetCtaVicTiming(int64_t vic, Tag_Video_Timing *timing, Tag_Timing_Error *error);

#endif
