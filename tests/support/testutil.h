// Shared helpers for the tests: a fresh database per test, scratch files and
// the bundled example.
#ifndef ORVEX_TESTS_TESTUTIL_H
#define ORVEX_TESTS_TESTUTIL_H

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resdat/resdat.h"

// Every test of the database starts and ends with an empty database.
class FreshDatabase : public ::testing::Test {
  protected:
    void SetUp() override { ResDatReset(); }
    void TearDown() override { ResDatReset(); }
};

// A directory of its own for one test, removed with everything in it at the end.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string File(const std::string &name) const;

  private:
    std::string path_;
};

// Write bytes exactly as given (binary); fails the test on error.
void WriteBytes(const std::string &path, const std::string &bytes);
// The whole file's bytes; "" and a test failure when it cannot be read.
std::string ReadBytes(const std::string &path);
bool FileExists(const std::string &path);

// The bundled example data file.
std::string ExampleDatPath();
// A test data file of tests/data.
std::string TestDataPath(const std::string &name);

// Write text (LF line ends are kept as they are) to a scratch file and load it.
BOOLEAN LoadText(const ScratchDir &dir, const std::string &text);

// Snapshots of the database for comparisons.
std::vector<std::string> MonitorNames();
std::vector<std::string> ResolutionIds(const char *monitor);
std::vector<std::string> TimingIds(); // "index:WxH@refresh"

#endif
