#include "support/testutil.h"

#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

static fs::path ScratchRoot() {
    const char *root = getenv("ORVEX_TEST_TMP");
    return root != nullptr && *root != '\0' ? fs::path(root) : fs::temp_directory_path();
}

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string base = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name()
                                       : std::string("scratch");
    for (char &c : base)
        if (c == '/' || c == '\\')
            c = '_';
    std::error_code ec;
    fs::create_directories(ScratchRoot(), ec);
    for (;;) {
        fs::path candidate = ScratchRoot() / (base + "." + std::to_string(counter++));
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate.string();
            return;
        }
        if (ec) {
            ADD_FAILURE() << "cannot create " << candidate << ": " << ec.message();
            path_ = candidate.string();
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ScratchDir::File(const std::string &name) const {
    return (fs::path(path_) / name).string();
}

void WriteBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return "";
    }
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool FileExists(const std::string &path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string ExampleDatPath() {
    return std::string(ORVEX_SOURCE_DIR) + "/examples/ORVEXRES.DAT";
}

std::string TestDataPath(const std::string &name) {
    return std::string(ORVEX_SOURCE_DIR) + "/tests/data/" + name;
}

BOOLEAN LoadText(const ScratchDir &dir, const std::string &text) {
    std::string path = dir.File("ORVEXRES.DAT");
    WriteBytes(path, text);
    return ReadDatFile(path.c_str());
}

std::vector<std::string> MonitorNames() {
    std::vector<std::string> names;
    for (Tag_Monitor_Entry *m = GetMonitorEntryHead(); m != nullptr; m = m->next)
        names.push_back(m->monitor_id_string);
    return names;
}

std::vector<std::string> ResolutionIds(const char *monitor) {
    std::vector<std::string> ids;
    Tag_Monitor_Entry *m = FindMonitorEntry(monitor, GetMonitorEntryHead());
    for (Tag_Resolution_Entry *r = m != nullptr ? m->res_list : nullptr; r != nullptr; r = r->next)
        ids.push_back(r->res_id_string);
    return ids;
}

std::vector<std::string> TimingIds() {
    std::vector<std::string> ids;
    for (Tag_Timing_Info *t = GetTimingInfoHead(); t != nullptr; t = t->next)
        ids.push_back(std::to_string(t->index) + ":" + t->res_id_string + "@" + t->refresh_string);
    return ids;
}
