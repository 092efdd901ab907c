// The data file's syntax for the tools: lines composed as the writer writes
// them (the elements are written once, in internal.h, for both) and checked
// against the reader's own reading before they are handed out.
#include <string.h>

#include <initializer_list>

#include "resdat/internal.h"
#include "resdat/resdat.h"

namespace {

// A text composed into a caller's buffer; what does not fit is counted as
// overflow and never written.
struct Tag_Buffer_Out {
    char *buffer;
    size_t size; // bytes, the NUL included
    size_t length;
    bool overflow;
};

Tag_Buffer_Out StartOut(char *buffer, size_t size) {
    if (buffer != nullptr && size > 0)
        buffer[0] = '\0';
    return Tag_Buffer_Out{buffer, buffer != nullptr ? size : 0, 0, false};
}

void PutBytes(Tag_Buffer_Out *out, const char *bytes, size_t n) {
    if (out->overflow || out->size == 0 || n > out->size - 1 - out->length) {
        out->overflow = true;
        return;
    }
    memcpy(out->buffer + out->length, bytes, n);
    out->length += n;
    out->buffer[out->length] = '\0';
}

// TRUE when the text was composed whole; otherwise the buffer holds "".
BOOLEAN Finish(Tag_Buffer_Out *out) {
    if (!out->overflow)
        return TRUE;
    if (out->size > 0)
        out->buffer[0] = '\0';
    return FALSE;
}

// The line that starts at offset start of the text: no longer than the reader
// takes at once, and ended by its line end.
bool OneLine(const Tag_Buffer_Out *out, size_t start) {
    size_t length = out->length - start;
    return !out->overflow && length > 0 && length <= kResDatLineSize - 1 &&
           memchr(out->buffer + start, '\n', length) == out->buffer + out->length - 1;
}

// A line of the key put_key writes and the value, which the reader must read
// back as given: plain, or else in double quotes.
template <typename PutKey>
bool PutValueLine(Tag_Buffer_Out *out, PutKey put_key, const char *value) {
    if (strpbrk(value, "\r\n\x1a") != nullptr)
        return false; // the reader reads these as a line's end or the file's
    size_t start = out->length;
    for (bool quoted : {false, true}) {
        out->length = start;
        put_key(out);
        if (quoted)
            PutBytes(out, "\"", 1);
        PutString(out, value);
        PutString(out, quoted ? "\"\n" : "\n");
        if (!OneLine(out, start))
            return false;
        char line[kResDatLineSize];
        memcpy(line, out->buffer + start, out->length - start + 1);
        const char *read = GetLineValue(line);
        if (read != nullptr && strcmp(read, value) == 0)
            return true;
    }
    return false;
}

} // namespace

BOOLEAN ComposeResolutionId(char *buffer, size_t size, int64_t width, int64_t height,
                            int64_t refresh) {
    Tag_Buffer_Out out = StartOut(buffer, size);
    PutDecimal(&out, width);
    PutBytes(&out, "x", 1);
    PutDecimal(&out, height);
    PutBytes(&out, "x", 1);
    PutDecimal(&out, refresh);
    return Finish(&out);
}

BOOLEAN ComposeBlockId(char *buffer, size_t size, int64_t number, int64_t width, int64_t height,
                       int64_t refresh) {
    char resolution[kResDatLineSize];
    if (!ComposeResolutionId(resolution, sizeof resolution, width, height, refresh)) {
        StartOut(buffer, size);
        return FALSE;
    }
    // Its size and refresh, split at its last "x" as the database splits ids.
    char *last_x = strrchr(resolution, 'x');
    *last_x = '\0';
    Tag_Buffer_Out out = StartOut(buffer, size);
    PutBlockId(&out, Tag_Block_Id{nullptr, number, resolution, last_x + 1});
    return Finish(&out);
}

BOOLEAN ComposeTimingId(char *buffer, size_t size, const Tag_Timing_Info *info) {
    Tag_Buffer_Out out = StartOut(buffer, size);
    PutBlockId(&out, TimingBlockId(info));
    return Finish(&out);
}

BOOLEAN ComposeMonitorBlock(char *buffer, size_t size, int64_t number, const char *name) {
    Tag_Buffer_Out out = StartOut(buffer, size);
    PutMonitorHeader(&out, number);
    out.overflow = out.overflow || name[0] == '\0' ||
                   !PutValueLine(
                       &out, [](Tag_Buffer_Out *o) { PutNameKey(o); }, name);
    return Finish(&out);
}

BOOLEAN ComposeResolutionLine(char *buffer, size_t size, int64_t number, const char *block_id) {
    Tag_Buffer_Out out = StartOut(buffer, size);
    auto key = [number](Tag_Buffer_Out *o) { PutResolutionKey(o, number); };
    out.overflow = out.overflow || !PutValueLine(&out, key, block_id);
    return Finish(&out);
}

BOOLEAN ComposeTimingHeader(char *buffer, size_t size, const char *block_id) {
    Tag_Buffer_Out out = StartOut(buffer, size);
    PutTimingHeader(&out, Tag_Block_Id{block_id, 0, nullptr, nullptr});
    char id[kResDatLineSize];
    if (!OneLine(&out, 0) || !GetBlockHeaderId(out.buffer, id, sizeof id) ||
        strcmp(id, block_id) != 0)
        out.overflow = true;
    return Finish(&out);
}

BOOLEAN GetBlockNumber(const char *block_id, int64_t *number) {
    if (block_id[0] != 'T')
        return FALSE;
    size_t digits = strspn(block_id + 1, "0123456789");
    if (digits == 0 || digits > 18 || block_id[1 + digits] != ':')
        return FALSE;
    int64_t value = 0;
    for (size_t i = 1; i <= digits; ++i)
        value = value * 10 + (block_id[i] - '0');
    *number = value;
    return TRUE;
}
