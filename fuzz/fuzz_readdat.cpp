// The data file reader on arbitrary bytes: each input is written to a scratch
// file and loaded into a fresh database, which must satisfy what a load of
// those bytes promises (load_checks.h). A load that succeeds is walked the way
// the installer and the tools walk it. Sanitizers and LeakSanitizer judge the
// rest.
#include <string.h>

#include <string>

#include "fuzz_common.h"
#include "load_checks.h"
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
    bool loaded = ReadDatFile(path.c_str()) == TRUE;
    CheckLoadAgainstInput(loaded, data, size);
    if (loaded)
        WalkLoadedDatabase();
    ResDatReset();
    return 0;
}
