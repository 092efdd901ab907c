// The registry for POSIX builds: the local-machine hive is a REGEDIT4 text
// file, the format Windows' registry editor imports and exports.
//
// Every call reads the whole file again, so the file on disk is always the
// truth and changes made by other processes are seen. Every change rewrites
// the whole hive into a temporary file beside it (hive + ".tmp.<pid>"),
// flushes it to disk and renames it over the hive, so a reader sees either
// the old hive or the new one, never a torn file. There is no lock between
// processes: when two of them change the hive at once, the last rename wins.
// The module is not thread-safe; the installer is single-threaded.
//
// The file is written canonically (comments and spacing of a hand-edited
// file are not kept) with CR LF line ends, as regedit writes it:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\k5300\Device0]
//   @="default"
//   "Text"="a \"quoted\" c:\\path"
//   "Count"=dword:0000001e
//   "Blob"=hex:25,00,00,00
//   "List"=hex(7):61,00,00,00
//
// Each section is followed by a blank line. Long hex lists are broken after
// a comma with a trailing backslash so that no line is longer than 80
// characters; continuation lines are indented by two blanks.
//
// Errors: a file that is missing gives ERROR_FILE_NOT_FOUND, one that cannot
// be read for lack of permission ERROR_ACCESS_DENIED, one that cannot be read
// otherwise or cannot be parsed ERROR_BADDB (and is then never overwritten).
// A failed write gives ERROR_ACCESS_DENIED for permission problems and a
// read-only file system, ERROR_WRITE_FAULT for anything else; the old hive is
// left as it was and the temporary file is removed.

#include "platform/win32.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// An open key: the full key path as it appears in the hive's section
// headers, and the access granted when it was opened. Open keys are kept on
// a list so that a stale or foreign handle is recognised, not dereferenced.
struct HKEY__ {
    HKEY__ *next;
    std::string path;
    REGSAM access;
};

namespace {

struct Tag_Reg_Value {
    std::string name; // "" is the default value, written as @
    DWORD type;
    std::vector<BYTE> data;
};

struct Tag_Reg_Key {
    std::string path; // e.g. HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet
    std::vector<Tag_Reg_Value> values;
};

struct Tag_Hive {
    std::vector<Tag_Reg_Key> keys; // in file order
};

const char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
const char kHeader[] = "REGEDIT4";
const char kEol[] = "\r\n";
const size_t kMaxLine = 80;

HKEY__ *open_keys = nullptr;

// ---------------------------------------------------------------------------
// Small helpers

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Trim(const std::string &s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Parses 1 to 8 hex digits, the whole of text.
bool ParseHexNumber(const std::string &text, DWORD &out) {
    if (text.empty() || text.size() > 8)
        return false;
    DWORD v = 0;
    for (char c : text) {
        int d = HexDigitValue(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<DWORD>(d);
    }
    out = v;
    return true;
}

bool IsPredefinedRoot(HKEY h) {
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    return v >= 0x80000000u && v <= 0x80000006u;
}

HKEY__ *FindOpenKey(HKEY h) {
    for (HKEY__ *k = open_keys; k; k = k->next) {
        if (k == h)
            return k;
    }
    return nullptr;
}

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

// ---------------------------------------------------------------------------
// Parsing

// Parses a quoted string starting at text[pos] == '"'. Only \\ and \" are
// escapes. On success pos is just past the closing quote.
bool ParseQuoted(const std::string &text, size_t &pos, std::string &out) {
    if (pos >= text.size() || text[pos] != '"')
        return false;
    out.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= text.size())
                return false;
            char n = text[i + 1];
            if (n != '\\' && n != '"')
                return false;
            out += n;
            ++i;
        } else {
            out += c;
        }
    }
    return false; // no closing quote
}

// Parses a comma-separated list of bytes, each one or two hex digits, blanks
// allowed around the commas. An empty list is zero bytes.
bool ParseHexList(const std::string &text, std::vector<BYTE> &out) {
    out.clear();
    std::string all = Trim(text);
    if (all.empty())
        return true;
    size_t pos = 0;
    for (;;) {
        size_t comma = all.find(',', pos);
        std::string item =
            Trim(all.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        if (item.empty() || item.size() > 2)
            return false;
        int hi = HexDigitValue(item[0]);
        int lo = item.size() == 2 ? HexDigitValue(item[1]) : 0;
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<BYTE>(item.size() == 2 ? (hi << 4) | lo : hi));
        if (comma == std::string::npos)
            return true;
        pos = comma + 1;
    }
}

void StoreValue(Tag_Reg_Key &key, const std::string &name, DWORD type,
                const std::vector<BYTE> &data) {
    for (Tag_Reg_Value &v : key.values) {
        if (EqualNoCase(v.name, name)) {
            v.type = type;
            v.data = data;
            return;
        }
    }
    key.values.push_back(Tag_Reg_Value{name, type, data});
}

Tag_Reg_Key *FindKey(Tag_Hive &hive, const std::string &path) {
    for (Tag_Reg_Key &k : hive.keys) {
        if (EqualNoCase(k.path, path))
            return &k;
    }
    return nullptr;
}

// Parses one value line (already trimmed). A hex list ending in a backslash
// continues on the next lines, which are consumed from lines[next...].
bool ParseValueLine(const std::string &line, const std::vector<std::string> &lines, size_t &next,
                    Tag_Reg_Key &key) {
    std::string name;
    size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else if (!ParseQuoted(line, pos, name)) {
        return false;
    }
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    if (pos >= line.size() || line[pos] != '=')
        return false;
    ++pos;
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    std::string rest = line.substr(pos);

    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    if (!rest.empty() && rest[0] == '"') {
        std::string text;
        size_t end = 0;
        if (!ParseQuoted(rest, end, text) || !Trim(rest.substr(end)).empty())
            return false;
        data.assign(text.begin(), text.end());
        data.push_back(0);
        type = REG_SZ;
    } else if (rest.compare(0, 6, "dword:") == 0) {
        DWORD v = 0;
        if (!ParseHexNumber(Trim(rest.substr(6)), v))
            return false;
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<BYTE>(v >> (8 * i)));
        type = REG_DWORD;
    } else if (rest.compare(0, 3, "hex") == 0) {
        size_t p = 3;
        type = REG_BINARY;
        if (p < rest.size() && rest[p] == '(') {
            size_t close = rest.find(')', p);
            if (close == std::string::npos ||
                !ParseHexNumber(rest.substr(p + 1, close - p - 1), type))
                return false;
            p = close + 1;
        }
        if (p >= rest.size() || rest[p] != ':')
            return false;
        std::string list = Trim(rest.substr(p + 1));
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            if (next >= lines.size())
                return false; // continuation at the end of the file
            list += Trim(lines[next++]);
        }
        if (!ParseHexList(list, data))
            return false;
    } else {
        return false;
    }
    StoreValue(key, name, type, data);
    return true;
}

bool ParseHive(const std::string &raw, Tag_Hive &hive) {
    hive.keys.clear();
    std::string text = raw;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);

    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        size_t end = lf == std::string::npos ? text.size() : lf;
        size_t len = end - start;
        if (len > 0 && text[start + len - 1] == '\r')
            --len;
        lines.push_back(text.substr(start, len));
        start = lf == std::string::npos ? text.size() : lf + 1;
    }

    if (lines.empty() || Trim(lines[0]) != kHeader)
        return false;

    Tag_Reg_Key *current = nullptr;
    size_t next = 1;
    while (next < lines.size()) {
        std::string line = Trim(lines[next++]);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']' || line[1] == '-')
                return false; // key removal ("[-...]") is not supported
            std::string path = line.substr(1, line.size() - 2);
            current = FindKey(hive, path);
            if (!current) {
                hive.keys.push_back(Tag_Reg_Key{path, {}});
                current = &hive.keys.back();
            }
            continue;
        }
        if (!current || (line[0] != '"' && line[0] != '@'))
            return false;
        if (!ParseValueLine(line, lines, next, *current))
            return false;
    }
    return true;
}

// Reads and parses the hive file.
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
    return ParseHive(text, hive) ? ERROR_SUCCESS : ERROR_BADDB;
}

// ---------------------------------------------------------------------------
// Writing

void AppendQuoted(std::string &out, const std::string &s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// A REG_SZ is written as a quoted string only when that gives back exactly
// its bytes: a text, NUL-terminated, with no other NUL and no line break.
bool IsPlainString(const std::vector<BYTE> &data) {
    if (data.empty() || data.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n')
            return false;
    }
    return true;
}

void AppendHexList(std::string &out, std::string line, const std::vector<BYTE> &data) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        std::string item;
        item += digits[data[i] >> 4];
        item += digits[data[i] & 15];
        if (i + 1 < data.size())
            item += ',';
        // Keep room for the trailing backslash.
        if (line.size() + item.size() > kMaxLine - 1 && line != "  ") {
            out += line;
            out += '\\';
            out += kEol;
            line = "  ";
        }
        line += item;
    }
    out += line;
    out += kEol;
}

void AppendValue(std::string &out, const Tag_Reg_Value &v) {
    std::string line;
    if (v.name.empty())
        line = "@";
    else
        AppendQuoted(line, v.name);
    line += '=';

    if (v.type == REG_SZ && IsPlainString(v.data)) {
        AppendQuoted(line, std::string(v.data.begin(), v.data.end() - 1));
        out += line;
        out += kEol;
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = static_cast<DWORD>(v.data[0]) | static_cast<DWORD>(v.data[1]) << 8 |
                  static_cast<DWORD>(v.data[2]) << 16 | static_cast<DWORD>(v.data[3]) << 24;
        char num[16];
        snprintf(num, sizeof num, "dword:%08x", static_cast<unsigned>(d));
        out += line;
        out += num;
        out += kEol;
    } else {
        if (v.type == REG_BINARY) {
            line += "hex:";
        } else {
            char tag[24];
            snprintf(tag, sizeof tag, "hex(%x):", static_cast<unsigned>(v.type));
            line += tag;
        }
        AppendHexList(out, line, v.data);
    }
}

std::string SerialiseHive(const Tag_Hive &hive) {
    std::string out = kHeader;
    out += kEol;
    out += kEol;
    for (const Tag_Reg_Key &k : hive.keys) {
        out += '[';
        out += k.path;
        out += ']';
        out += kEol;
        for (const Tag_Reg_Value &v : k.values)
            AppendValue(out, v);
        out += kEol;
    }
    return out;
}

LONG MapWriteError(int err) {
    if (err == EACCES || err == EPERM || err == EROFS)
        return ERROR_ACCESS_DENIED;
    return ERROR_WRITE_FAULT;
}

// Writes the whole hive to a temporary file beside it and renames that over
// the hive. On failure the temporary is removed and the hive is untouched.
LONG SaveHive(const Tag_Hive &hive) {
    std::string text = SerialiseHive(hive);
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
    if (fwrite(text.data(), 1, text.size(), f) != text.size() || fflush(f) != 0 ||
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

// Loads the hive and finds the key an open handle refers to.
LONG LoadKeyOf(const HKEY__ *k, Tag_Hive &hive, Tag_Reg_Key *&key) {
    LONG rc = LoadHive(hive);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_KEY_DELETED; // the hive was there when the key was opened
    if (rc != ERROR_SUCCESS)
        return rc;
    key = FindKey(hive, k->path);
    return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

std::string MakeValueName(LPCSTR name) {
    return name ? std::string(name) : std::string();
}

// ---------------------------------------------------------------------------
// The services

LONG OpenKey(HKEY root, LPCSTR sub_key, REGSAM sam, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;

    std::string path;
    if (root == HKEY_LOCAL_MACHINE) {
        path = kLocalMachine;
    } else if (HKEY__ *parent = FindOpenKey(root)) {
        path = parent->path;
    } else if (IsPredefinedRoot(root)) {
        return ERROR_FILE_NOT_FOUND; // only the local-machine hive is kept
    } else {
        return ERROR_INVALID_HANDLE;
    }
    if (sub_key && *sub_key) {
        path += '\\';
        path += sub_key;
    }

    Tag_Hive hive;
    LONG rc = LoadHive(hive);
    if (rc != ERROR_SUCCESS)
        return rc;
    Tag_Reg_Key *key = FindKey(hive, path);
    if (!key)
        return ERROR_FILE_NOT_FOUND;

    if (sam & KEY_SET_VALUE) {
        // A change replaces the file by a rename, so both the file and its
        // directory must be writable.
        std::string target = ResolveHivePath();
        if (access(target.c_str(), W_OK) != 0 || access(GetDirectory(target).c_str(), W_OK) != 0)
            return ERROR_ACCESS_DENIED;
    }

    // The handle records the path as the hive spells it.
    std::string key_path = key->path;
    HKEY__ *k = new (std::nothrow) HKEY__{open_keys, std::move(key_path), sam};
    if (!k)
        return ERROR_OUTOFMEMORY;
    open_keys = k;
    *result = k;
    return ERROR_SUCCESS;
}

LONG SetValue(HKEY h, LPCSTR name, DWORD type, const BYTE *data, DWORD size) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (!data && size != 0)
        return ERROR_INVALID_PARAMETER;
    std::string n = MakeValueName(name);
    if (n.find_first_of("\r\n") != std::string::npos)
        return ERROR_INVALID_PARAMETER; // a line break cannot be written in a name

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::vector<BYTE> bytes;
    if (size)
        bytes.assign(data, data + size);
    StoreValue(*key, n, type, bytes);
    return SaveHive(hive);
}

LONG QueryValue(HKEY h, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (reserved || (data && !size))
        return ERROR_INVALID_PARAMETER;

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::string n = MakeValueName(name);
    for (const Tag_Reg_Value &v : key->values) {
        if (!EqualNoCase(v.name, n))
            continue;
        if (type)
            *type = v.type;
        if (!size)
            return ERROR_SUCCESS;
        DWORD need = static_cast<DWORD>(v.data.size());
        if (!data) {
            *size = need;
            return ERROR_SUCCESS;
        }
        DWORD room = *size;
        *size = need;
        if (room < need)
            return ERROR_MORE_DATA;
        if (need)
            memcpy(data, v.data.data(), need);
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG DeleteValue(HKEY h, LPCSTR name) {
    HKEY__ *k = FindOpenKey(h);
    if (!k)
        return IsPredefinedRoot(h) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    if (!(k->access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;

    Tag_Hive hive;
    Tag_Reg_Key *key = nullptr;
    LONG rc = LoadKeyOf(k, hive, key);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::string n = MakeValueName(name);
    for (size_t i = 0; i < key->values.size(); ++i) {
        if (EqualNoCase(key->values[i].name, n)) {
            key->values.erase(key->values.begin() + static_cast<std::ptrdiff_t>(i));
            return SaveHive(hive);
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

// ---------------------------------------------------------------------------
// The Win32 entry points. Inside the module the standard containers report an
// allocation failure by throwing; RunGuarded is the one place where that ends,
// as ERROR_OUTOFMEMORY, so no exception leaves the layer.

template <typename Call> LONG RunGuarded(Call call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return ERROR_OUTOFMEMORY;
    } catch (const std::length_error &) {
        return ERROR_OUTOFMEMORY; // a size beyond what a string or vector can hold
    }
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD /*options*/, REGSAM sam_desired, PHKEY result) {
    return RunGuarded([&] { return OpenKey(key, sub_key, sam_desired, result); });
}

LONG RegSetValueExA(HKEY key, LPCSTR value_name, DWORD /*reserved*/, DWORD type, const BYTE *data,
                    DWORD size) {
    return RunGuarded([&] { return SetValue(key, value_name, type, data, size); });
}

LONG RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) {
    return RunGuarded([&] { return QueryValue(key, value_name, reserved, type, data, size); });
}

LONG RegDeleteValueA(HKEY key, LPCSTR value_name) {
    return RunGuarded([&] { return DeleteValue(key, value_name); });
}

LONG RegCloseKey(HKEY key) {
    if (IsPredefinedRoot(key))
        return ERROR_SUCCESS;
    for (HKEY__ **p = &open_keys; *p; p = &(*p)->next) {
        if (*p == key) {
            *p = key->next;
            delete key;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_INVALID_HANDLE;
}
