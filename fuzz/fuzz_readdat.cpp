// The data file reader on arbitrary bytes: each input is written to a scratch
// file and loaded into a fresh database. A load that succeeds is walked the
// way the installer and the tools walk it. Sanitizers and LeakSanitizer judge.
#include <string.h>

#include <string>

#include "fuzz_common.h"
#include "resdat/resdat.h"

static void WalkLoadedDatabase(void) {
    for (char *monitor = EnumMonitorNames(TRUE); monitor != nullptr;
         monitor = EnumMonitorNames(FALSE)) {
        size_t ids = 0;
        for (char *id = EnumResNames(monitor); id != nullptr; id = EnumResNames(nullptr))
            ids += strlen(id) > 0;
        char *res = nullptr;
        size_t blocks = 0;
        for (char *block = EnumTimingBlocks(monitor, &res); block != nullptr;
             block = EnumTimingBlocks(nullptr, &res)) {
            if (res == nullptr)
                Broken("a timing block without its id", monitor);
            ++blocks;
        }
        (void)ids;
        (void)blocks;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = ScratchPath("readdat.dat");
    PutFile(path, data, size);
    ResDatReset();
    res_dat_err_flag = 0;
    if (ReadDatFile(path.c_str())) {
        if (res_dat_err_flag != 0)
            Broken("a successful load set the error code");
        if (GetMemSize() == nullptr || GetMemConfig() == nullptr || GetDefaultRes() == nullptr)
            Broken("a successful load without a required header variable");
        WalkLoadedDatabase();
    } else {
        int32_t code = res_dat_err_flag;
        if (code != 1 && code != 2 && code != 3)
            Broken("a failed load with an unknown code", std::to_string(code));
        if (GetResDatErrDetail()[0] == '\0')
            Broken("a failed load without a detail");
        // Lines are counted from 1 up to the Ctrl-Z that ends the file.
        size_t lines = 1;
        for (size_t i = 0; i < size && data[i] != 0x1A; ++i)
            lines += data[i] == '\n';
        if (GetResDatErrLine() < 0 || static_cast<size_t>(GetResDatErrLine()) > lines)
            Broken("an error line outside the file", std::to_string(GetResDatErrLine()));
    }
    ResDatReset();
    return 0;
}
