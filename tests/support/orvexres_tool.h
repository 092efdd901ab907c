// Running the built orvexres in the tests: its exit status, standard output
// and standard error, and a fixture with a scratch directory. Header-only: a
// test program names the tool with ORVEXRES_PATH.
#ifndef ORVEX_TESTS_ORVEXRES_TOOL_H
#define ORVEX_TESTS_ORVEXRES_TOOL_H

#include <stdlib.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <string>
#include <vector>

#include "support/testutil.h"

#ifndef ORVEXRES_PATH
#error "ORVEXRES_PATH must name the built orvexres"
#endif

namespace orvexres_tool {

using Strings = std::vector<std::string>;

struct Result {
    int status = -1; // the exit status; -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

#ifdef _WIN32
inline std::string Quote(const std::string &arg) {
    return "\"" + arg + "\"";
}
const char kNullDevice[] = "NUL";
#else
inline std::string Quote(const std::string &arg) {
    std::string quoted = "'";
    for (char c : arg) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}
const char kNullDevice[] = "/dev/null";
#endif

// Split text into lines at LF; a final line end gives no empty last line.
inline Strings Lines(const std::string &text) {
    Strings lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

inline bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

inline bool StartsWith(const std::string &text, const std::string &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The line number (from 1) of the first line of text holding part, or 0.
inline int LineOf(const std::string &text, const std::string &part) {
    Strings lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i)
        if (Contains(lines[i], part))
            return static_cast<int>(i + 1);
    return 0;
}

// The line of out starting with prefix, or "".
inline std::string LineStarting(const std::string &out, const std::string &prefix) {
    for (const std::string &line : Lines(out))
        if (StartsWith(line, prefix))
            return line;
    return "";
}

class Orvexres : public ::testing::Test {
  protected:
    // Run the tool with these arguments, standard input empty.
    Result Tool(const Strings &args) {
        std::string out_path = dir.File("tool.stdout");
        std::string err_path = dir.File("tool.stderr");
        std::string command = Quote(ORVEXRES_PATH);
        for (const std::string &arg : args)
            command += " " + Quote(arg);
        command +=
            std::string(" <") + kNullDevice + " >" + Quote(out_path) + " 2>" + Quote(err_path);
#ifdef _WIN32
        command = "\"" + command + "\"";
#endif
        int rc = std::system(command.c_str());
        Result result;
#ifdef _WIN32
        result.status = rc;
#else
        result.status = rc != -1 && WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
        result.out = ReadBytes(out_path);
        result.err = ReadBytes(err_path);
        return result;
    }

    // A data file in the scratch directory.
    std::string DataFile(const std::string &name, const std::string &text) {
        std::string path = dir.File(name);
        WriteBytes(path, text);
        return path;
    }

    // The stderr of a refusal: "WHERE: error: ... (code N: ...)" then
    // "WHERE: hint: ...", nothing on stdout unless allowed.
    void ExpectRefusal(const Result &r, const std::string &where, int code,
                       const std::string &detail) {
        EXPECT_EQ(r.status, 1) << r.err;
        Strings lines = Lines(r.err);
        ASSERT_EQ(lines.size(), 2u) << r.err;
        EXPECT_TRUE(StartsWith(lines[0], where + ": error: " + detail)) << lines[0];
        EXPECT_TRUE(Contains(lines[0], "(code " + std::to_string(code) + ": ")) << lines[0];
        EXPECT_TRUE(StartsWith(lines[1], where + ": hint: ")) << lines[1];
        EXPECT_GT(lines[1].size(), where.size() + 10) << "the hint says what to do";
    }

    ScratchDir dir;
    const std::string example = ExampleDatPath();
};

} // namespace orvexres_tool

#endif
