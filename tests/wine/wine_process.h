// Running the Windows build's programs under Wine (and Linux programs beside
// them) from the native test runners, with standard output and standard error
// captured and a time limit.
#ifndef ORVEX_TESTS_WINE_WINE_PROCESS_H
#define ORVEX_TESTS_WINE_WINE_PROCESS_H

#include <string>
#include <utility>
#include <vector>

namespace winetest {

struct Process {
    // The exit status (Wine passes a Windows program's on, cut to 8 bits);
    // -1 when the program was killed or could not be started.
    int exit_code = -1;
    bool timed_out = false;
    std::string out;
    std::string err;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs argv[0] with the given arguments in directory `dir`, with `env` added
// to the environment and standard input from /dev/null; kills its process
// group after `timeout_seconds`.
Process Run(const std::vector<std::string> &argv, const std::string &dir,
            const Environment &env = {}, int timeout_seconds = 120);

// A program started by Start and not yet finished.
struct Started {
    int pid = -1; // -1: could not be started (error says why)
    std::string out_path;
    std::string err_path;
    std::string error;
};

// Run in two steps: Start returns at once, Finish waits for the end (killing
// the process group after `timeout_seconds`) and collects the result.
Started Start(const std::vector<std::string> &argv, const std::string &dir,
              const Environment &env = {});
Process Finish(Started *started, int timeout_seconds = 120);

// The Wine prefix of the tests: $WINEPREFIX, else the prefix of the Windows
// build (ORVEX_WINDOWS_BUILD/wineprefix).
std::string Prefix();

// Runs a Windows program under Wine through scripts/wine-run.sh, which makes
// the prefix and its persistent server when they are missing: one of the
// Windows build (a path below it, e.g. "install/orvexinst.exe"), an absolute
// path, or one of Wine's own by name (e.g. "regedit").
Process RunWine(const std::string &program, const std::vector<std::string> &args,
                const std::string &dir, const Environment &env = {});
// RunWine's command and environment, for Start.
std::vector<std::string> WineCommand(const std::string &program,
                                     const std::vector<std::string> &args);
Environment WineEnvironment(const Environment &env);

// The program at `relative` in the Windows build, or the one the environment
// variable `variable` names instead when it is set (another copy to check).
std::string Program(const char *variable, const std::string &relative);

// Text with every CR LF turned into LF.
std::string WithoutCr(const std::string &text);

} // namespace winetest

#endif
