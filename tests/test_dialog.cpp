// The dialog template INSTALLDIALOG as the built installer carries it: loaded
// from orvexinst.exe as a data file and read field by field (DLGTEMPLATE and
// DLGITEMTEMPLATE records).
#include <windows.h>

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// The installer as the Windows side sees it: a POSIX path of the build tree is
// on drive Z: under Wine. ORVEX_INSTALL_EXE, when set, names another copy.
std::string InstallerPath() {
    const char *given = getenv("ORVEX_INSTALL_EXE");
    std::string path = given != nullptr && *given != '\0' ? given : ORVEX_INSTALLER_EXE;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// A name or class field: an ordinal (0xFFFF, value) or a NUL-terminated UTF-16
// string; an empty string is the single WORD 0.
struct SzOrOrd {
    bool is_ordinal = false;
    uint16_t ordinal = 0;
    std::string text; // ASCII only; other characters become '?'
};

// Reads the template with bounds checks; a read past the end records a fault
// and yields zeros, so a malformed resource fails the test instead of crashing.
class Reader {
  public:
    Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    size_t offset() const { return offset_; }
    bool overrun() const { return overrun_; }

    uint16_t Word() {
        if (offset_ + 2 > size_) {
            overrun_ = true;
            offset_ = size_;
            return 0;
        }
        uint16_t value = static_cast<uint16_t>(data_[offset_] | data_[offset_ + 1] << 8);
        offset_ += 2;
        return value;
    }
    int16_t Short() { return static_cast<int16_t>(Word()); }
    uint32_t Dword() {
        uint32_t low = Word();
        uint32_t high = Word();
        return low | high << 16;
    }
    std::string String() {
        std::string text;
        for (uint16_t c = Word(); c != 0 && !overrun_; c = Word())
            text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }
    SzOrOrd NameOrOrdinal() {
        SzOrOrd field;
        size_t start = offset_;
        uint16_t first = Word();
        if (first == 0xFFFF) {
            field.is_ordinal = true;
            field.ordinal = Word();
            return field;
        }
        offset_ = start;
        field.text = String();
        return field;
    }
    void Skip(size_t bytes) {
        if (offset_ + bytes > size_) {
            overrun_ = true;
            offset_ = size_;
            return;
        }
        offset_ += bytes;
    }
    void AlignTo(size_t boundary) {
        size_t rest = offset_ % boundary;
        if (rest != 0)
            Skip(boundary - rest);
    }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t offset_ = 0;
    bool overrun_ = false;
};

struct Item {
    uint32_t style = 0;
    uint32_t ex_style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint16_t id = 0;
    SzOrOrd window_class;
    SzOrOrd title;
    uint16_t extra_bytes = 0;
};

struct Template {
    uint32_t style = 0;
    uint32_t ex_style = 0;
    uint16_t item_count = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    SzOrOrd menu;
    SzOrOrd window_class;
    std::string caption;
    bool has_font = false;
    uint16_t point_size = 0;
    std::string font_name;
    std::vector<Item> items;
    bool overrun = false;
    size_t end = 0;
};

// The resource starts on a DWORD boundary, so offsets within it align as
// addresses would.
Template Parse(const uint8_t *data, size_t size) {
    Reader r(data, size);
    Template t;
    t.style = r.Dword();
    t.ex_style = r.Dword();
    t.item_count = r.Word();
    t.x = r.Short();
    t.y = r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    t.menu = r.NameOrOrdinal();
    t.window_class = r.NameOrOrdinal();
    t.caption = r.String();
    if (t.style & DS_SETFONT) {
        t.has_font = true;
        t.point_size = r.Word();
        t.font_name = r.String();
    }
    for (uint16_t i = 0; i < t.item_count && !r.overrun(); ++i) {
        r.AlignTo(4);
        Item item;
        item.style = r.Dword();
        item.ex_style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Word();
        item.window_class = r.NameOrOrdinal();
        item.title = r.NameOrOrdinal();
        item.extra_bytes = r.Word();
        r.Skip(item.extra_bytes);
        t.items.push_back(item);
    }
    t.overrun = r.overrun();
    t.end = r.offset();
    return t;
}

// The predefined window classes as ordinals.
enum : uint16_t {
    kButton = 0x0080,
    kEdit = 0x0081,
    kStatic = 0x0082,
    kListBox = 0x0083,
};

struct ExpectedItem {
    uint16_t id;
    uint16_t class_ordinal;
    const char *text;
    uint32_t style;
    int16_t x, y, cx, cy;
};

const DWORD kChild = WS_CHILD | WS_VISIBLE;

const ExpectedItem kExpectedItems[] = {
    {101, kListBox, "", kChild | LBS_SORT | LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 5, 26,
     169, 57},
    {113, kButton, "Small", kChild | BS_AUTORADIOBUTTON | WS_GROUP, 69, 94, 36, 28},
    {114, kButton, "Big", kChild | BS_AUTORADIOBUTTON, 69, 118, 31, 26},
    {115, kButton, "Font Size", kChild | BS_GROUPBOX | WS_GROUP, 63, 82, 50, 93},
    {103, kButton, "Memory Size", kChild | BS_GROUPBOX | WS_GROUP, 5, 81, 51, 93},
    {104, kButton, "1 Meg", kChild | BS_AUTORADIOBUTTON, 14, 90, 36, 27},
    {105, kButton, "2 Meg", kChild | BS_AUTORADIOBUTTON, 14, 109, 34, 25},
    {1, kButton, "OK", kChild | BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 27, 189, 40, 14},
    {2, kButton, "Cancel", kChild | BS_PUSHBUTTON | WS_TABSTOP, 106, 189, 40, 14},
    {102, kButton, "Monitor Type", kChild | BS_GROUPBOX, 2, 2, 177, 24},
    {110, kStatic, "", kChild | SS_LEFT | WS_GROUP, 7, 12, 163, 13},
};

// A class named by string must name the same predefined class as the ordinal.
bool SameClass(const SzOrOrd &field, uint16_t ordinal) {
    if (field.is_ordinal)
        return field.ordinal == ordinal;
    const char *name = ordinal == kButton    ? "button"
                       : ordinal == kEdit    ? "edit"
                       : ordinal == kStatic  ? "static"
                       : ordinal == kListBox ? "listbox"
                                             : "";
    return lstrcmpiA(field.text.c_str(), name) == 0;
}

class InstallDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = InstallerPath();
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << path_ << ": error " << GetLastError();
        HRSRC found = FindResourceA(module_, "INSTALLDIALOG", RT_DIALOG);
        ASSERT_NE(found, nullptr) << "no dialog INSTALLDIALOG in " << path_;
        size_ = SizeofResource(module_, found);
        HGLOBAL loaded = LoadResource(module_, found);
        ASSERT_NE(loaded, nullptr);
        data_ = static_cast<const uint8_t *>(LockResource(loaded));
        ASSERT_NE(data_, nullptr);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(data_) % 4, 0u) << "resource not DWORD-aligned";
        dialog_ = Parse(data_, size_);
        ASSERT_FALSE(dialog_.overrun) << "template shorter than its records";
    }
    void TearDown() override {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }

    std::string path_;
    HMODULE module_ = nullptr;
    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    Template dialog_;
};

TEST_F(InstallDialog, IsAPlainDialogTemplate) {
    // DLGTEMPLATEEX starts with dlgVer 1 and signature 0xFFFF.
    ASSERT_GE(size_, 4u);
    EXPECT_FALSE(data_[0] == 1 && data_[1] == 0 && data_[2] == 0xFF && data_[3] == 0xFF)
        << "an extended (DIALOGEX) template";
    EXPECT_EQ(dialog_.ex_style, 0u);
    EXPECT_LE(dialog_.end, size_) << "records past the resource";
    EXPECT_GE(dialog_.end + 4, size_) << "bytes after the last control";
}

TEST_F(InstallDialog, ModalPopupWithCaptionAndSystemMenu) {
    // The FONT statement sets DS_SETFONT.
    EXPECT_EQ(dialog_.style, static_cast<uint32_t>(DS_MODALFRAME | WS_POPUP | WS_CAPTION |
                                                   WS_SYSMENU | DS_SETFONT))
        << std::hex << "style 0x" << dialog_.style;
}

TEST_F(InstallDialog, PositionSizeCaptionAndFont) {
    EXPECT_EQ(dialog_.x, 0);
    EXPECT_EQ(dialog_.y, 0);
    EXPECT_EQ(dialog_.cx, 180);
    EXPECT_EQ(dialog_.cy, 209);
    EXPECT_FALSE(dialog_.menu.is_ordinal);
    EXPECT_EQ(dialog_.menu.text, "") << "no menu";
    EXPECT_FALSE(dialog_.window_class.is_ordinal);
    EXPECT_EQ(dialog_.window_class.text, "") << "the standard dialog class";
    EXPECT_EQ(dialog_.caption, "Additional Information");
    ASSERT_TRUE(dialog_.has_font);
    EXPECT_EQ(dialog_.point_size, 8);
    EXPECT_EQ(dialog_.font_name, "MS Sans Serif");
}

TEST_F(InstallDialog, ElevenControlsInOrder) {
    const size_t expected_count = sizeof kExpectedItems / sizeof kExpectedItems[0];
    ASSERT_EQ(dialog_.item_count, expected_count);
    ASSERT_EQ(dialog_.items.size(), expected_count);
    for (size_t i = 0; i < expected_count; ++i) {
        const ExpectedItem &want = kExpectedItems[i];
        const Item &got = dialog_.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
        EXPECT_EQ(got.id, want.id);
        EXPECT_TRUE(SameClass(got.window_class, want.class_ordinal))
            << "class "
            << (got.window_class.is_ordinal ? std::to_string(got.window_class.ordinal)
                                            : got.window_class.text);
        EXPECT_FALSE(got.title.is_ordinal);
        EXPECT_EQ(got.title.text, want.text);
        EXPECT_EQ(got.style, want.style) << std::hex << "style 0x" << got.style;
        EXPECT_EQ(got.ex_style, 0u);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.extra_bytes, 0);
    }
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The same template through the system's own reader: a dialog created from it
// has the eleven controls with the same identifiers and window classes.
TEST_F(InstallDialog, SystemBuildsTheControls) {
    HWND dialog = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(data_),
                                             nullptr, IgnoreMessages, 0);
    if (dialog == nullptr)
        GTEST_SKIP() << "no window station for dialogs: error " << GetLastError();
    std::vector<std::pair<int, std::string>> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "";
        GetClassNameA(child, name, sizeof name);
        controls.emplace_back(GetDlgCtrlID(child), name);
    }
    char caption[64] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    DestroyWindow(dialog);
    EXPECT_STREQ(caption, "Additional Information");
    ASSERT_EQ(controls.size(), sizeof kExpectedItems / sizeof kExpectedItems[0]);
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i].first, kExpectedItems[i].id) << "control " << i;
        EXPECT_TRUE(
            SameClass(SzOrOrd{false, 0, controls[i].second}, kExpectedItems[i].class_ordinal))
            << "control " << i << " class " << controls[i].second;
    }
}

} // namespace
