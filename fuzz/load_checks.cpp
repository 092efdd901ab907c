#include "load_checks.h"

#include <string.h>

#include <string>
#include <vector>

#include "common/ascii.h"
#include "fuzz_common.h"
#include "resdat/resdat.h"

namespace {

// The input as the reader sees its text: up to a Ctrl-Z, CR LF read as LF.
std::string TextOf(const uint8_t *data, size_t size) {
    std::string text;
    for (size_t i = 0; i < size && data[i] != 0x1A; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue;
        text += static_cast<char>(data[i]);
    }
    return text;
}

void ExpectInInput(const std::string &text, const char *what, const char *part) {
    if (part != nullptr && text.find(part) == std::string::npos)
        Broken(what, part);
}

// Simple inputs only: no NUL, every line shorter than a piece.
bool Simple(const std::string &text, std::vector<std::string> *lines) {
    if (text.find('\0') != std::string::npos)
        return false;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos)
            lf = text.size();
        if (lf - start >= 254)
            return false;
        lines->push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return true;
}

// Each block text against the input's lines.
void CheckBlockTexts(const std::string &text) {
    std::vector<std::string> lines;
    if (!Simple(text, &lines))
        return;
    bool last_ended = !text.empty() && text.back() == '\n';
    size_t ended = last_ended ? lines.size() : lines.size() - (text.empty() ? 0 : 1);
    // A line that looks like a header can stand inside another block, so
    // every candidate after the previous block is tried.
    size_t cursor = 0;
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next) {
        std::string wanted = std::string(t->res_id_string) + "x" + t->refresh_string;
        bool found = false;
        std::string block;
        for (size_t k = cursor; k < lines.size() && !found; ++k) {
            const std::string &line = lines[k];
            if (line.size() < 2 || line[0] != '[' || line[1] != 'T')
                continue;
            std::string id = line.substr(1, line.find_first_of("] ", 1) - 1);
            size_t colon = id.find(':');
            if (colon == std::string::npos || id.substr(colon + 1) != wanted)
                continue;
            block.clear();
            size_t j = k + 1;
            for (; j < ended && !lines[j].empty(); ++j)
                block += lines[j] + "\n";
            if (block == t->info_block) {
                found = true;
                cursor = j;
            }
        }
        if (!found)
            Broken("a block text is not the lines between its header and a blank line",
                   wanted + ":\n[" + t->info_block + "]");
    }
}

} // namespace

void CheckLoadAgainstInput(bool loaded, const uint8_t *data, size_t size) {
    std::string text = TextOf(data, size);
    if (!loaded) {
        int32_t code = res_dat_err_flag;
        if (code != RES_DAT_ERR_OUT_OF_MEMORY && code != RES_DAT_ERR_CONTENT &&
            code != RES_DAT_ERR_DATA_FILE)
            Broken("a failed load with an unknown code", std::to_string(code));
        if (GetResDatErrDetail()[0] == '\0' || GetResDatErrFinding() == RES_DAT_FOUND_NOTHING)
            Broken("a failed load without a detail or a finding");
        // Lines are counted from 1 up to the Ctrl-Z that ends the file.
        size_t lines = 1;
        for (char c : text)
            lines += c == '\n';
        if (GetResDatErrLine() < 0 || static_cast<size_t>(GetResDatErrLine()) > lines)
            Broken("an error line outside the file", std::to_string(GetResDatErrLine()));
        return;
    }
    if (res_dat_err_flag != RES_DAT_ERR_NONE)
        Broken("a successful load set the error code");
    if (GetMemSize() == nullptr || GetMemConfig() == nullptr || GetDefaultRes() == nullptr)
        Broken("a successful load without a required header variable");
    bool has_nul = text.find('\0') != std::string::npos;
    if (!has_nul)
        for (char *(*get)() : {GetBusType, GetMemAddr, GetDefaultRes, GetMemSize, GetMemConfig})
            ExpectInInput(text, "a header value that is not in the input", get());
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        if (!has_nul)
            ExpectInInput(text, "a monitor name that is not in the input", m->monitor_id_string);
        for (Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next) {
            const Tag_Timing_Info *t = r->timing_info;
            if (t == nullptr)
                Broken("a resolution without a timing record", r->res_id_string);
            std::string names = std::string(t->res_id_string) + "x" + t->refresh_string;
            if (!AsciiEqualIgnoringCase(r->res_id_string, names))
                Broken("a resolution linked to a timing record of another id",
                       std::string(r->res_id_string) + " / " + names);
            if (!has_nul)
                ExpectInInput(text, "a resolution id that is not in the input", r->res_id_string);
        }
    }
    CheckBlockTexts(text);
}
