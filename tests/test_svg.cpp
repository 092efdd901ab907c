// The SVG pictures: a timing and a range chart, well-formed XML by xmllint,
// their texts carrying the numbers, the timing's labels on the page, the
// chart's points coloured by the range, titles escaped, their refusals.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "support/testutil.h"
#include "timing/svg.h"
#include "timing/vesa.h"
#include "timing/edid.h"

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

// Each count of the text in the document.
size_t Count(const std::string &svg, const std::string &text) {
    size_t n = 0;
    for (size_t at = svg.find(text); at != std::string::npos; at = svg.find(text, at + 1))
        ++n;
    return n;
}

std::string Chart(const std::vector<Tag_Chart_Mode> &modes, const Tag_Edid_Range *range) {
    std::string svg(GetRangeChartSvgSize(int32_t(modes.size())), 'x');
    Tag_Timing_Error error;
    EXPECT_TRUE(RenderRangeChartSvg("ORVEX PV19 & co", modes.data(), int32_t(modes.size()), range,
                                    &svg[0], svg.size(), &error))
        << error.reason;
    svg.resize(strlen(svg.c_str()));
    return svg;
}

// Inside the range (30-80 kHz, 50-76 Hz, 110 MHz), outside it, over its clock
// limit; and the same modes without a range.
TEST(Chart, PointsAgainstTheRange) {
    const Tag_Video_Timing inside = Dmt(0x04), also_inside = Dmt(0x23), outside = Dmt(0x25),
                           over_clock = Dmt(0x24);
    const std::vector<Tag_Chart_Mode> modes = {{&inside, "T0:640x480x60"},
                                               {&also_inside, "T1:1280x1024x60"},
                                               {&outside, "T2:1280x1024x85"},
                                               {&over_clock, "T<3>&"}};
    Tag_Edid_Range range = Tag_Edid_Range();
    range.present = true, range.h_min_khz = 30, range.h_max_khz = 80;
    range.v_min_hz = 50, range.v_max_hz = 76, range.max_clock_khz = 110000;
    const std::vector<Chart_Place> places = {Chart_Place::kInside, Chart_Place::kInside,
                                             Chart_Place::kOutside, Chart_Place::kOverClock};
    ScratchDir dir;
    for (const bool ranged : {true, false}) {
        SCOPED_TRACE(ranged ? "with the range" : "without a range");
        const std::string svg = Chart(modes, ranged ? &range : nullptr);
        EXPECT_TRUE(XmlWellFormed(dir, svg)) << svg;
        for (const char *title :
             {"<g><title>T0:640x480x60: 640x480, 31.469 kHz, 59.940 Hz, 25.175 MHz</title>",
              "<g><title>T1:1280x1024x60: 1280x1024, 63.981 kHz, 60.020 Hz, 108.000 "
              "MHz</title>"})
            EXPECT_EQ(Count(svg, title), 1u) << title;
        EXPECT_EQ(Count(svg, ", outside the range</title>"), ranged ? 1u : 0u);
        EXPECT_EQ(Count(svg, "T&lt;3&gt;&amp;: 1280x1024"), 1u);
        EXPECT_EQ(Count(svg, "<circle "), modes.size() + (ranged ? 3 : 0)) << "and the legend";
        EXPECT_EQ(Count(svg, ">the monitor's range, clock up to 110.000 MHz</text>"),
                  ranged ? 1u : 0u);
        for (size_t i = 0; i < modes.size() && ranged; ++i)
            EXPECT_EQ(GetChartPlace(modes[i].timing, &range), places[i]) << modes[i].name;
    }
    // The points' colours: two inside, one outside, one over the clock; one
    // colour for all without a range.
    SCOPED_TRACE("the colours");
    const std::string ranged_svg = Chart(modes, &range), plain_svg = Chart(modes, nullptr);
    const std::vector<std::pair<std::string, size_t>> colours = {
        {"#2e7d32", 2}, {"#c62828", 1}, {"#ef6c00", 1}, {"#1565c0", 0}};
    for (const auto &colour : colours)
        EXPECT_EQ(Count(ranged_svg, "r=\"5.0\" fill=\"" + colour.first + "\"/></g>"), colour.second)
            << colour.first;
    EXPECT_EQ(Count(plain_svg, "r=\"5.0\" fill=\"#1565c0\"/></g>"), modes.size());
}

// The largest document for its count fits its room; the refusals.
TEST(Chart, SizeAndRefusals) {
    const Tag_Video_Timing tiny = kTiny, huge = kHuge;
    const std::string name(kTimingSvgTitleMax + 5, '&');
    std::vector<Tag_Chart_Mode> modes(40, Tag_Chart_Mode{&tiny, name.c_str()});
    modes[7].timing = &huge;
    Tag_Edid_Range range = Tag_Edid_Range();
    range.present = true, range.h_max_khz = range.v_max_hz = INT32_MAX;
    range.max_clock_khz = INT32_MAX;
    const size_t room = GetRangeChartSvgSize(int32_t(modes.size()));
    std::string svg(room, 'x');
    Tag_Timing_Error error;
    ASSERT_TRUE(RenderRangeChartSvg(name.c_str(), modes.data(), int32_t(modes.size()), &range,
                                    &svg[0], svg.size(), &error))
        << error.reason;
    const size_t length = strlen(svg.c_str());
    printf("a large chart: %zu of %zu bytes\n", length + 1, room);
    EXPECT_FALSE(RenderRangeChartSvg(name.c_str(), modes.data(), int32_t(modes.size()), &range,
                                     &svg[0], length, &error));
    EXPECT_EQ(error.code, Timing_Error_Code::kBuffer);
    EXPECT_EQ(svg[0], '\0');

    Tag_Video_Timing bad = tiny;
    bad.h_sync = 0;
    modes[3] = {&bad, "T3"};
    EXPECT_FALSE(RenderRangeChartSvg(nullptr, modes.data(), int32_t(modes.size()), nullptr, &svg[0],
                                     svg.size(), &error));
    EXPECT_EQ(error.code, Timing_Error_Code::kRequest);
    EXPECT_STREQ(error.reason, "mode 'T3' is no mode: horizontal sync 0 is below 1");
    EXPECT_FALSE(
        RenderRangeChartSvg(nullptr, modes.data(), 0, nullptr, &svg[0], svg.size(), &error));
    EXPECT_STREQ(error.reason, "a chart needs modes: 0 given");
}

} // namespace
