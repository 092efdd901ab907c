// A timing drawn as an SVG document.
#include <math.h>

#include "timing/internal.h"
#include "timing/svg.h"

namespace {

// The page, in user units (pixels at 100 %).
const int32_t kPageWidth = 960;
const int32_t kPageHeight = 380;
const double kLeft = 20;   // the tracks' left edge
const double kRight = 940; // and right edge
const double kTrackWidth = kRight - kLeft;
const double kRowHeight = 20;
const double kRowPitch = 26;
const double kLabelGap = 4;
// The width a label's character may take at the page's 12-unit monospace
// font (0.6 em in common monospace fonts; a little more for safety).
const double kCharWidth = 7.5;
const double kSectionTop[2] = {108, 252}; // the headings' baselines

const char *const kPartNames[4] = {"active", "front porch", "sync", "back porch"};
const char *const kPartColours[4] = {"#8bc34a", "#ffd54f", "#e57373", "#64b5f6"};

void AppendRect(Tag_Text_Sink *sink, double x, double y, double width, const char *fill) {
    AppendSvgRect(sink, x, y, width, kRowHeight, fill, nullptr);
}

// One direction: its heading and the four rows.
void AppendSection(Tag_Text_Sink *sink, bool vertical, const int64_t counts[4], int64_t total,
                   bool sync_positive) {
    const double top = kSectionTop[vertical ? 1 : 0];
    OpenSvgText(sink, kLeft, top, " font-weight=\"bold\"");
    AppendText(sink, vertical ? "vertical: " : "horizontal: ");
    AppendInteger(sink, total);
    AppendText(sink, vertical ? " lines a frame</text>\n" : " pixels a line</text>\n");
    int64_t start = 0;
    for (int32_t part = 0; part < 4; ++part) {
        const double y = top + 10 + part * kRowPitch;
        double x = kLeft + kTrackWidth * static_cast<double>(start) / total;
        double width = kTrackWidth * static_cast<double>(counts[part]) / total;
        if (width < 1)
            width = 1;
        if (x + width > kRight) // a unit-wide band at the very end
            x = kRight - width;
        AppendRect(sink, kLeft, y, kTrackWidth, "#eeeeee");
        AppendRect(sink, x, y, width, kPartColours[part]);

        // The label and where it goes.
        char label_text[48];
        Tag_Text_Sink label;
        StartText(&label, label_text, sizeof label_text);
        AppendText(&label, kPartNames[part]);
        AppendText(&label, " ");
        AppendInteger(&label, counts[part]);
        if (part == 2)
            AppendText(&label, sync_positive ? ", positive" : ", negative");
        const double label_width = kCharWidth * static_cast<double>(label.length);
        const double baseline = y + kRowHeight - 6;
        if (label_width + 2 * kLabelGap <= width)
            OpenSvgText(sink, x + width / 2, baseline, " text-anchor=\"middle\"");
        else if (x + width + kLabelGap + label_width <= kRight ||
                 x - kLabelGap - label_width < kLeft)
            OpenSvgText(sink, x + width + kLabelGap, baseline, " text-anchor=\"start\"");
        else
            OpenSvgText(sink, x - kLabelGap, baseline, " text-anchor=\"end\"");
        AppendText(sink, label_text);
        AppendText(sink, "</text>\n");
        start += counts[part];
    }
}

} // namespace

void AppendCoordinate(Tag_Text_Sink *sink, double value) {
    int64_t tenths = static_cast<int64_t>(floor(value * 10 + 0.5));
    AppendInteger(sink, tenths / 10);
    char digit[2] = {'.', static_cast<char>('0' + tenths % 10)};
    AppendText(sink, std::string_view(digit, sizeof digit));
}

void AppendFrequency(Tag_Text_Sink *sink, double hz, double scale) {
    AppendThousandths(sink, static_cast<int64_t>(floor(hz / scale * 1000 + 0.5)));
}

void AppendSvgText(Tag_Text_Sink *sink, std::string_view title) {
    for (size_t i = 0; i < title.size() && i < kTimingSvgTitleMax; ++i) {
        const unsigned char c = static_cast<unsigned char>(title[i]);
        switch (c) {
        case '&':
            AppendText(sink, "&amp;");
            break;
        case '<':
            AppendText(sink, "&lt;");
            break;
        case '>':
            AppendText(sink, "&gt;");
            break;
        case '"':
            AppendText(sink, "&quot;");
            break;
        case '\'':
            AppendText(sink, "&apos;");
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                AppendText(sink, "?");
            } else if (c > 0x7f) {
                AppendText(sink, "&#x");
                static const char kDigits[] = "0123456789abcdef";
                char hex[3] = {kDigits[c >> 4], kDigits[c & 15], ';'};
                AppendText(sink, std::string_view(hex, sizeof hex));
            } else {
                AppendText(sink, std::string_view(title.data() + i, 1));
            }
            break;
        }
    }
    if (title.size() > kTimingSvgTitleMax)
        AppendText(sink, "...");
}

void AppendSvgAttributes(Tag_Text_Sink *sink, const char *const names[], const double values[],
                         int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        AppendText(sink, names[i]);
        AppendText(sink, "=\"");
        AppendCoordinate(sink, values[i]);
        AppendText(sink, "\"");
    }
}

void OpenSvgText(Tag_Text_Sink *sink, double x, double y, const char *extra) {
    static const char *const names[2] = {" x", " y"};
    const double values[2] = {x, y};
    AppendText(sink, "<text");
    AppendSvgAttributes(sink, names, values, 2);
    AppendText(sink, extra);
    AppendText(sink, ">");
}

void AppendSvgRect(Tag_Text_Sink *sink, double x, double y, double width, double height,
                   const char *fill, const char *stroke) {
    static const char *const names[4] = {" x", " y", " width", " height"};
    const double values[4] = {x, y, width, height};
    AppendText(sink, "<rect");
    AppendSvgAttributes(sink, names, values, 4);
    AppendText(sink, " fill=\"");
    AppendText(sink, fill);
    if (stroke != nullptr) {
        AppendText(sink, "\" stroke=\"");
        AppendText(sink, stroke);
    }
    AppendText(sink, "\"/>\n");
}

void AppendSvgStart(Tag_Text_Sink *sink, int32_t width, int32_t height, std::string_view title) {
    AppendText(sink, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"");
    AppendInteger(sink, width);
    AppendText(sink, "\" height=\"");
    AppendInteger(sink, height);
    AppendText(sink, "\" viewBox=\"0 0 ");
    AppendInteger(sink, width);
    AppendText(sink, " ");
    AppendInteger(sink, height);
    AppendText(sink, "\" font-family=\"monospace\" font-size=\"12\">\n<title>");
    AppendSvgText(sink, title);
    AppendText(sink, "</title>\n<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" "
                     "fill=\"#ffffff\"/>\n");
}

bool FinishSvg(Tag_Text_Sink *sink, char *buffer, size_t size, Tag_Timing_Error *error) {
    AppendText(sink, "</svg>\n");
    if (!sink->overflow)
        return true;
    if (size > 0)
        buffer[0] = '\0';
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kBuffer);
    AppendText(&reason, "the SVG document does not fit in ");
    AppendInteger(&reason, static_cast<int64_t>(size));
    AppendText(&reason, " bytes");
    return false;
}

bool RenderTimingSvg(const Tag_Video_Timing *timing, const char *title, char *buffer, size_t size,
                     Tag_Timing_Error *error) {
    Tag_Text_Sink sink;
    StartText(&sink, buffer, size);
    if (!CheckTimingShape(timing, error))
        return false;
    const std::string_view title_text = title != nullptr ? title : "";
    const Tag_Video_Timing &t = *timing;

    AppendSvgStart(&sink, kPageWidth, kPageHeight, title_text);
    OpenSvgText(&sink, kLeft, 30, " font-size=\"16\" font-weight=\"bold\"");
    AppendSvgText(&sink, title_text);
    AppendText(&sink, "</text>\n");

    OpenSvgText(&sink, kLeft, 56, "");
    AppendText(&sink, "pixel clock ");
    AppendMhz(&sink, t.clock_hz);
    AppendText(&sink, " MHz</text>\n");
    OpenSvgText(&sink, 330, 56, "");
    AppendText(&sink, "horizontal frequency ");
    AppendFrequency(&sink, GetTimingHFreq(&t), 1000);
    AppendText(&sink, " kHz</text>\n");
    OpenSvgText(&sink, 640, 56, "");
    AppendText(&sink, "refresh ");
    AppendFrequency(&sink, GetTimingRefresh(&t), 1);
    AppendText(&sink, " Hz, named ");
    AppendInteger(&sink, t.nominal_refresh);
    AppendText(&sink, " Hz</text>\n");
    OpenSvgText(&sink, kLeft, 76, "");
    AppendText(&sink, t.h_sync_positive ? "horizontal sync positive</text>\n"
                                        : "horizontal sync negative</text>\n");
    OpenSvgText(&sink, 330, 76, "");
    AppendText(&sink, t.v_sync_positive ? "vertical sync positive</text>\n"
                                        : "vertical sync negative</text>\n");

    const int64_t h_counts[4] = {t.h_active, t.h_front_porch, t.h_sync, t.h_back_porch};
    const int64_t v_counts[4] = {t.v_active, t.v_front_porch, t.v_sync, t.v_back_porch};
    AppendSection(&sink, false, h_counts, GetTimingHTotal(&t), t.h_sync_positive);
    AppendSection(&sink, true, v_counts, GetTimingVTotal(&t), t.v_sync_positive);
    return FinishSvg(&sink, buffer, size, error);
}
