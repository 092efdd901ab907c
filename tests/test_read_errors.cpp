// Read errors in the middle of a data file. The program is linked with
// -Wl,--wrap=fread,--wrap=ferror: once armed, reading beyond a given offset of
// a file fails as a failing disk makes it fail (the bytes before the offset are
// delivered, then the stream's error flag is set and nothing more comes).
//
// Wherever the error strikes, the load must fail with code 3 and no line, and
// keep the records added before it whole.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "support/testutil.h"

extern "C" size_t __real_fread(void *ptr, size_t size, size_t n, FILE *fp);
extern "C" int __real_ferror(FILE *fp);

namespace {

bool armed = false;
long fail_at = 0;       // the first offset that cannot be read
FILE *failed = nullptr; // the stream whose error flag is set
long calls = 0;

struct ReadFault {
    explicit ReadFault(long offset) {
        armed = true;
        fail_at = offset;
        failed = nullptr;
        calls = 0;
    }
    ~ReadFault() {
        armed = false;
        failed = nullptr;
    }
    ReadFault(const ReadFault &) = delete;
    ReadFault &operator=(const ReadFault &) = delete;
};

} // namespace

extern "C" size_t __wrap_fread(void *ptr, size_t size, size_t n, FILE *fp) {
    if (!armed || size != 1)
        return __real_fread(ptr, size, n, fp);
    ++calls;
    if (fp == failed)
        return 0;
    long at = ftell(fp);
    if (at < 0 || at + static_cast<long>(n) <= fail_at)
        return __real_fread(ptr, size, n, fp);
    size_t room = at < fail_at ? static_cast<size_t>(fail_at - at) : 0;
    size_t got = room > 0 ? __real_fread(ptr, 1, room, fp) : 0;
    if (got == room) {
        // Stopped at the bad offset: an error, unless the file ends there.
        int c = fgetc(fp);
        if (c != EOF) {
            ungetc(c, fp);
            failed = fp;
        }
    }
    return got;
}

extern "C" int __wrap_ferror(FILE *fp) {
    if (armed && fp == failed)
        return 1;
    return __real_ferror(fp);
}

namespace {

using Strings = std::vector<std::string>;

struct Loaded {
    Strings monitors; // name, then its resolution ids
    Strings blocks;   // id, then text
    Strings header;
};

std::string Text(const char *text) {
    return text != nullptr ? text : "(null)";
}

// A load that fails before linking leaves the ids in full form; compare the
// forms a successful load gives.
std::string Short(char *(*form)(const char *), const char *id) {
    char *text = form(id);
    std::string copy = text != nullptr ? text : "(out of memory)";
    free(text);
    return copy;
}

Loaded Take() {
    Loaded l;
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next) {
        EXPECT_NE(m->monitor_id_string, nullptr);
        l.monitors.push_back(m->monitor_id_string);
        for (Tag_Resolution_Entry *r = m->res_list; r != nullptr; r = r->next) {
            EXPECT_NE(r->res_id_string, nullptr);
            l.monitors.push_back("  " + Short(StripRes, r->res_id_string));
        }
    }
    int32_t index = 0;
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next, ++index) {
        EXPECT_EQ(t->index, index);
        EXPECT_NE(t->refresh_string, nullptr);
        l.blocks.push_back(Short(StripTiming, t->res_id_string));
        l.blocks.push_back(t->info_block);
    }
    l.header = {Text(GetBusType()), Text(GetMemAddr()), Text(GetMemSize()), Text(GetMemConfig()),
                Text(GetDefaultRes())};
    return l;
}

// Each record read before the error is the record the whole file gives,
// except that the last one may have been cut short with its line (and may then
// end in the CR of a CR LF pair cut in two).
void ExpectPrefix(const Strings &part, const Strings &whole, long offset) {
    ASSERT_LE(part.size(), whole.size()) << "offset " << offset;
    for (size_t i = 0; i + 1 < part.size(); ++i)
        EXPECT_EQ(part[i], whole[i]) << "offset " << offset;
    if (!part.empty()) {
        std::string last = part.back();
        if (!last.empty() && last.back() == '\r')
            last.pop_back();
        const std::string &full = whole[part.size() - 1];
        EXPECT_EQ(full.compare(0, last.size(), last), 0)
            << "offset " << offset << ": " << last << " / " << full;
    }
}

class ReadErrors : public FreshDatabase {
  protected:
    // Loads the text with an error at every offset in turn.
    void FailAtEveryOffset(const std::string &text) {
        std::string path = dir.File("ORVEXRES.DAT");
        WriteBytes(path, text);
        ASSERT_TRUE(ReadDatFile(path.c_str())) << GetResDatErrDetail();
        Loaded whole = Take();
        for (long offset = 0; offset < static_cast<long>(text.size()); ++offset) {
            ResDatReset();
            res_dat_err_flag = 0;
            BOOLEAN loaded;
            {
                ReadFault fault(offset);
                loaded = ReadDatFile(path.c_str());
            }
            ASSERT_FALSE(loaded) << "offset " << offset;
            ASSERT_EQ(res_dat_err_flag, 3) << "offset " << offset << ": " << GetResDatErrDetail();
            EXPECT_EQ(GetResDatErrLine(), 0) << "offset " << offset;
            EXPECT_STREQ(GetResDatErrDetail(), "the file cannot be read");
            Loaded part = Take();
            ExpectPrefix(part.monitors, whole.monitors, offset);
            ExpectPrefix(part.blocks, whole.blocks, offset);
            if (::testing::Test::HasFailure())
                return;
        }
        ResDatReset();
        {
            ReadFault fault(static_cast<long>(text.size()));
            EXPECT_TRUE(ReadDatFile(path.c_str())) << "an error past the end is never met";
        }
    }
    ScratchDir dir;
};

TEST_F(ReadErrors, WrapperFailsReadsAtTheOffset) {
    std::string path = dir.File("ten.txt");
    WriteBytes(path, "0123456789");
    FILE *fp = fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    char buf[16];
    {
        ReadFault fault(4);
        EXPECT_EQ(fread(buf, 1, sizeof buf, fp), 4u);
        EXPECT_NE(ferror(fp), 0);
        EXPECT_EQ(fread(buf, 1, sizeof buf, fp), 0u);
    }
    fclose(fp);
}

TEST_F(ReadErrors, EveryOffsetOfTheTypicalFile) {
    FailAtEveryOffset("; comment\r\nBusType = VESA\r\nMemAddr = 8000\r\nMemSize = 2\r\n"
                      "MemConfig = 1\r\nDefMode = 640x480\r\n\r\n[M0]\r\nname=Generic\r\n"
                      "timing0 = T0:640x480x60\r\ntiming1 = T1:640x480x72\r\n\r\n[M1]\r\n"
                      "name=Other\r\ntiming0 = T1:640x480x72\r\n\r\n[T0:640x480x60]\r\n"
                      "hdr=25.175mHz\r\nhsp=96\r\n\r\n[T1:640x480x72]\r\nhdr=31.500mHz\r\n"
                      "vp =negative\r\n");
}

TEST_F(ReadErrors, EveryOffsetOfABlockBeforeTheMonitors) {
    FailAtEveryOffset("MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n[T0:1x2x3]\n" +
                      std::string(300, 'a') + "\nb=2\n\n[M0]\nname=g\nt=T0:1x2x3\n");
}

TEST_F(ReadErrors, LargeFileFailingAfterTheFirstBuffer) {
    // Far more than the reader takes at a time: the error strikes on a later
    // read, after many records.
    std::string text = "MemSize = 2\nMemConfig = 1\nDefMode = 640x480\n";
    for (int i = 0; i < 3000; ++i)
        text += "[T" + std::to_string(i) + ":640x480x" + std::to_string(i) +
                "]\nhdr=" + std::string(40, 'h') + "\n\n";
    std::string path = dir.File("large.dat");
    WriteBytes(path, text);
    for (long offset : {70000l, 140000l, static_cast<long>(text.size()) - 1}) {
        ResDatReset();
        res_dat_err_flag = 0;
        ReadFault fault(offset);
        EXPECT_FALSE(ReadDatFile(path.c_str())) << offset;
        EXPECT_EQ(res_dat_err_flag, 3);
        EXPECT_GT(calls, 1) << "the error came on a later read";
        size_t blocks = TimingIds().size();
        EXPECT_GT(blocks, 0u);
        EXPECT_LT(blocks, 3000u);
    }
}

} // namespace
