// The hive file: the file ORVEX_REGISTRY names (registry.reg in the current
// directory by default), read whole by every call, so the file on disk is
// always the truth and changes made by other processes are seen.
//
// Every change rewrites the whole hive into a temporary file beside it
// (hive + ".tmp.<pid>"), flushes it to disk and renames it over the hive, so a
// reader sees either the old hive or the new one, never a torn file. A
// symbolic link is followed, so that the file it names is replaced, not the
// link; the hive's mode and, where allowed, its owner are kept. There is no
// lock between processes: when two of them change the hive at once, the last
// rename wins. The module is not thread-safe; the installer is
// single-threaded.

#include "platform/registry_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace {

const char *GetHivePath() {
    const char *p = getenv("ORVEX_REGISTRY");
    return (p && *p) ? p : "registry.reg";
}

// The file the hive really is: a symbolic link is followed, so that the
// rename replaces the file it names rather than the link.
std::string ResolveHivePath() {
    const char *p = GetHivePath();
    std::unique_ptr<char, void (*)(void *)> real(realpath(p, nullptr), free);
    return real ? std::string(real.get()) : std::string(p);
}

std::string GetDirectory(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Closes a file read from when the scope ends.
struct Tag_File_Closer {
    FILE *f;
    ~Tag_File_Closer() {
        if (f)
            fclose(f);
    }
};

// Takes the result of a call whose failure is acceptable, so that dropping it
// is visible.
void Tolerate(int /*result*/) {}

LONG MapWriteError(int err) {
    if (err == EACCES || err == EPERM || err == EROFS)
        return ERROR_ACCESS_DENIED;
    return ERROR_WRITE_FAULT;
}

} // namespace

LONG LoadHive(Tag_Hive &hive) {
    Tag_File_Closer file{fopen(GetHivePath(), "rb")};
    if (!file.f) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ERROR_FILE_NOT_FOUND;
        if (errno == EACCES || errno == EPERM)
            return ERROR_ACCESS_DENIED;
        return ERROR_BADDB;
    }
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, file.f)) > 0)
        text.append(buf, n);
    if (ferror(file.f))
        return ERROR_BADDB;
    return ParseHive(std::move(text), hive) ? ERROR_SUCCESS : ERROR_BADDB;
}

bool MayReplaceHive() {
    std::string target = ResolveHivePath();
    return access(target.c_str(), W_OK) == 0 && access(GetDirectory(target).c_str(), W_OK) == 0;
}

LONG CommitHive(const std::string &bytes) {
    std::string target = ResolveHivePath();
    std::string tmp = target + ".tmp." + std::to_string(static_cast<long>(getpid()));
    // Everything that allocates is done before the temporary exists, so an
    // allocation failure cannot leave it behind or follow a finished rename.
    std::string directory = GetDirectory(target);

    struct stat st;
    bool have_old = stat(target.c_str(), &st) == 0;

    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return MapWriteError(errno);
    if (have_old) {
        // Keep the hive's mode and, where allowed, its owner. Both are best
        // effort: the umask-limited mode is acceptable, and an unprivileged
        // writer keeps its own ownership.
        Tolerate(fchmod(fd, st.st_mode & 07777));
        if (st.st_uid != geteuid() || st.st_gid != getegid())
            Tolerate(fchown(fd, st.st_uid, st.st_gid));
    }
    FILE *f = fdopen(fd, "wb");
    if (!f) {
        int err = errno;
        close(fd);
        unlink(tmp.c_str());
        return MapWriteError(err);
    }
    int err = 0;
    errno = 0;
    if (fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fflush(f) != 0 ||
        fsync(fileno(f)) != 0)
        err = errno ? errno : EIO;
    if (fclose(f) != 0 && err == 0)
        err = errno ? errno : EIO;
    if (err == 0 && rename(tmp.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        unlink(tmp.c_str());
        return MapWriteError(err);
    }

    // Make the rename itself durable. A directory that cannot be opened or
    // synced does not undo a write that has already replaced the hive.
    int dfd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        Tolerate(fsync(dfd));
        close(dfd);
    }
    return ERROR_SUCCESS;
}
