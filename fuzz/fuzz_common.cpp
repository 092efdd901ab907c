#include "fuzz_common.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

// The scratch files of this process, removed when it exits normally (a crash
// leaves them for a look).
static std::vector<std::string> *scratch_files = nullptr;

static void RemoveScratchFiles(void) {
    for (const std::string &path : *scratch_files)
        remove(path.c_str());
}

std::string ScratchPath(const char *tag) {
    std::string dir = "/dev/shm";
    if (access(dir.c_str(), W_OK) != 0) {
        const char *tmp = getenv("TMPDIR");
        dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    }
    std::string path =
        dir + "/orvex-fuzz-" + std::to_string(static_cast<long>(getpid())) + "-" + tag;
    if (scratch_files == nullptr) {
        scratch_files = new std::vector<std::string>;
        atexit(RemoveScratchFiles);
    }
    scratch_files->push_back(path);
    return path;
}

void PutFile(const std::string &path, const void *data, size_t size) {
    FILE *fp = fopen(path.c_str(), "wb");
    if (fp == nullptr)
        Broken("cannot create scratch file", path);
    bool ok = size == 0 || fwrite(data, 1, size, fp) == size;
    ok = fclose(fp) == 0 && ok;
    if (!ok)
        Broken("cannot write scratch file", path);
}

void PutFile(const std::string &path, const std::string &bytes) {
    PutFile(path, bytes.data(), bytes.size());
}

std::string GetFile(const std::string &path, bool *ok) {
    std::string bytes;
    *ok = false;
    FILE *fp = fopen(path.c_str(), "rb");
    if (fp == nullptr)
        return bytes;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, fp)) > 0)
        bytes.append(buf, n);
    *ok = ferror(fp) == 0;
    fclose(fp);
    return bytes;
}

void Broken(const char *what, const std::string &detail) {
    fprintf(stderr, "\n*** %s\n%s\n", what, detail.c_str());
    fflush(stderr);
    abort();
}

void CheckReasonText(const char *reason, size_t size, const char *what) {
    size_t length = strnlen(reason, size);
    if (length == 0 || length == size)
        Broken(what, "the reason is empty or not terminated");
    for (size_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(reason[i]) < 32)
            Broken(what, std::string("the reason is not one line: ") + reason);
}
