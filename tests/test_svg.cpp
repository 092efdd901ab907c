// The SVG picture of a timing: well-formed XML by xmllint, its texts carrying
// the numbers, its labels on the page, its title escaped, its refusals.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "support/testutil.h"
#include "timing/svg.h"
#include "timing/vesa.h"

namespace {

struct Text {
    std::string content;
    std::string anchor; // "" when none
    double x;
};

// The <text> elements of our own output (no nesting, no CDATA).
std::vector<Text> Texts(const std::string &svg) {
    std::vector<Text> texts;
    for (size_t at = svg.find("<text "); at != std::string::npos; at = svg.find("<text ", at + 1)) {
        size_t open_end = svg.find('>', at);
        size_t close = svg.find("</text>", open_end);
        std::string open = svg.substr(at, open_end - at);
        Text t;
        t.content = svg.substr(open_end + 1, close - open_end - 1);
        t.x = atof(open.c_str() + open.find("x=\"") + 3);
        size_t anchor = open.find("text-anchor=\"");
        if (anchor != std::string::npos)
            t.anchor = open.substr(anchor + 13, open.find('"', anchor + 13) - anchor - 13);
        texts.push_back(t);
    }
    return texts;
}

std::string Render(const Tag_Video_Timing &t, const char *title) {
    std::string svg(kTimingSvgSize, 'x');
    Tag_Timing_Error error;
    EXPECT_TRUE(RenderTimingSvg(&t, title, &svg[0], svg.size(), &error)) << error.reason;
    svg.resize(strlen(svg.c_str()));
    return svg;
}

bool XmlWellFormed(const ScratchDir &dir, const std::string &svg) {
    const std::string path = dir.File("timing.svg");
    WriteBytes(path, svg);
    return system(("xmllint --noout '" + path + "'").c_str()) == 0;
}

Tag_Video_Timing Dmt(int64_t id) {
    Tag_Video_Timing t;
    GetDmtModeTiming(FindDmtModeById(id, nullptr), &t);
    return t;
}

// {clock, h: active, front, sync, back, v: active, front, sync, back, cursor
// offsets, refresh, polarities}.
const Tag_Video_Timing kTiny = {1000000, 8, 1, 1, 1, 8, 1, 1, 1, 0, 0, 10000, true, false};
const Tag_Video_Timing kZeroPorches = {25175000, 640, 0, 96, 0, 480, 0, 2, 0, 0, 0, 70, true, true};
const Tag_Video_Timing kHuge = {kTimingMaxClockHz, 1000000, 1, 1, 0, 1000000, 1000000,
                                1000000,           1000000, 0, 0, 0, false,   false};

TEST(Svg, WellFormedAndCarriesTheNumbers) {
    struct Case {
        Tag_Video_Timing timing;
        const char *title;
        std::vector<std::string> texts; // each must be one <text>'s content
    };
    const Case cases[] = {
        {Dmt(0x04),
         "Generic 640x480x60",
         {"Generic 640x480x60", "pixel clock 25.175 MHz", "horizontal frequency 31.469 kHz",
          "refresh 59.940 Hz, named 60 Hz", "horizontal sync negative", "vertical sync negative",
          "horizontal: 800 pixels a line", "active 640", "front porch 16", "sync 96, negative",
          "back porch 48", "vertical: 525 lines a frame", "active 480", "front porch 10",
          "sync 2, negative", "back porch 33"}},
        {kTiny,
         "tiny",
         {"pixel clock 1.000 MHz", "horizontal frequency 90.909 kHz",
          "refresh 8264.463 Hz, named 10000 Hz", "horizontal sync positive",
          "vertical sync negative", "active 8", "front porch 1", "sync 1, positive",
          "sync 1, negative", "back porch 1"}},
        {kZeroPorches,
         nullptr,
         {"", "front porch 0", "back porch 0", "sync 96, positive", "sync 2, positive",
          "horizontal: 736 pixels a line", "vertical: 482 lines a frame"}},
        {kHuge,
         "huge",
         {"pixel clock 100000.000 MHz", "horizontal frequency 100.000 kHz",
          "refresh 0.025 Hz, named 0 Hz", "horizontal: 1000002 pixels a line", "active 1000000",
          "front porch 1", "sync 1, negative", "back porch 0", "vertical: 4000000 lines a frame",
          "front porch 1000000", "sync 1000000, negative", "back porch 1000000"}},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        const std::string svg = Render(c.timing, c.title);
        EXPECT_TRUE(XmlWellFormed(dir, svg)) << svg;
        const std::vector<Text> texts = Texts(svg);
        for (const std::string &want : c.texts) {
            bool found = false;
            for (const Text &t : texts)
                found = found || t.content == want;
            EXPECT_TRUE(found) << "no <text> holds '" << want << "' in\n" << svg;
        }
        // Every label lies within the tracks, by the width the drawing allows
        // a character (7.5 units at its font size).
        for (const Text &t : texts) {
            const double width = 7.5 * t.content.size();
            const double left = t.anchor == "end"      ? t.x - width
                                : t.anchor == "middle" ? t.x - width / 2
                                                       : t.x;
            if (!t.anchor.empty()) {
                EXPECT_GE(left, 20) << t.content;
                EXPECT_LE(left + width, 940) << t.content;
            }
        }
    }
}

TEST(Svg, TitleEscapedAndCut) {
    const Tag_Video_Timing t = Dmt(0x04);
    const struct {
        std::string title, written;
    } cases[] = {
        {"A&B <C> \"D\" 'E'", "A&amp;B &lt;C&gt; &quot;D&quot; &apos;E&apos;"},
        {"caf\xe9\x01\x7f", "caf&#xe9;??"},
        {std::string(kTimingSvgTitleMax, 'w') + "cut",
         std::string(kTimingSvgTitleMax, 'w') + "..."},
    };
    ScratchDir dir;
    for (const auto &c : cases) {
        const std::string svg = Render(t, c.title.c_str());
        EXPECT_TRUE(XmlWellFormed(dir, svg)) << c.title;
        EXPECT_NE(svg.find("<title>" + c.written + "</title>"), std::string::npos) << svg;
        EXPECT_EQ(Texts(svg)[0].content, c.written);
    }
}

// The largest documents: every count and the clock at their limits, or the
// clock at its limit over the smallest totals (the longest frequencies); the
// longest title, each character written as an entity.
TEST(Svg, SizeAndRefusals) {
    Tag_Video_Timing least = {kTimingMaxClockHz, 1,    0,   1, 0, 1, 0, 1, 0, 0, 0,
                              INT64_MIN,         true, true};
    const int64_t m = kTimingMaxCount;
    Tag_Video_Timing worst = {kTimingMaxClockHz, m,    m,   m, m, m, m, m, m, 0, 0,
                              INT64_MIN,         true, true};
    const std::string title(kTimingSvgTitleMax + 1, '"');
    for (const Tag_Video_Timing &t : {least, worst}) {
        const size_t size = Render(t, title.c_str()).size() + 1;
        printf("a large document: %zu of %zu bytes\n", size, kTimingSvgSize);
        EXPECT_LT(size, kTimingSvgSize);
    }
    const std::string svg = Render(worst, title.c_str());
    std::string buffer(svg.size() + 1, 'x');
    Tag_Timing_Error error;
    EXPECT_TRUE(RenderTimingSvg(&worst, title.c_str(), &buffer[0], buffer.size(), &error));
    EXPECT_FALSE(RenderTimingSvg(&worst, title.c_str(), &buffer[0], buffer.size() - 1, &error));
    EXPECT_EQ(error.code, Timing_Error_Code::kBuffer);
    EXPECT_EQ(std::string(error.reason),
              "the SVG document does not fit in " + std::to_string(svg.size()) + " bytes");
    EXPECT_EQ(buffer[0], '\0');

    worst.v_sync = 0;
    EXPECT_FALSE(RenderTimingSvg(&worst, nullptr, &buffer[0], buffer.size(), &error));
    EXPECT_EQ(error.code, Timing_Error_Code::kShape);
    EXPECT_STREQ(error.reason, "vertical sync 0 is below 1");
    EXPECT_EQ(buffer[0], '\0');
}

} // namespace
