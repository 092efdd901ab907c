// The data file reader against its reference: every input must load into the
// same database, or be refused with the same code, line and detail, by the
// library as it is and by the reader as first written (fuzz/reference/, the
// straightforward version from before the loader was tuned for speed; its
// names carry a "Ref" prefix). Any difference is a change of behaviour.
#include <string>

#include "fuzz_common.h"

std::string CurrentLoad(const char *path);
std::string ReferenceLoad(const char *path);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = ScratchPath("reference.dat");
    PutFile(path, data, size);
    std::string current = CurrentLoad(path.c_str());
    std::string reference = ReferenceLoad(path.c_str());
    if (current != reference)
        Broken("the library and the reference reader differ",
               "--- library:\n" + current + "--- reference:\n" + reference);
    return 0;
}
