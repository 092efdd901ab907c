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

// A coordinate with one decimal ("123.4"); coordinates lie on the page.
void AppendCoordinate(Tag_Text_Sink *sink, double value) {
    int64_t tenths = static_cast<int64_t>(floor(value * 10 + 0.5));
    AppendInteger(sink, tenths / 10);
    char digit[2] = {'.', static_cast<char>('0' + tenths % 10)};
    AppendText(sink, std::string_view(digit, sizeof digit));
}

// A frequency in Hz shown in units of scale Hz with three decimals.
void AppendFrequency(Tag_Text_Sink *sink, double hz, double scale) {
    AppendThousandths(sink, static_cast<int64_t>(floor(hz / scale * 1000 + 0.5)));
}

void AppendEscapedTitle(Tag_Text_Sink *sink, std::string_view title) {
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

// "<text x=.. y=.. [extra]>" ... the caller writes the content and closes.
void OpenText(Tag_Text_Sink *sink, double x, double y, const char *extra) {
    AppendText(sink, "<text x=\"");
    AppendCoordinate(sink, x);
    AppendText(sink, "\" y=\"");
    AppendCoordinate(sink, y);
    AppendText(sink, "\"");
    AppendText(sink, extra);
    AppendText(sink, ">");
}

void AppendRect(Tag_Text_Sink *sink, double x, double y, double width, const char *fill) {
    AppendText(sink, "<rect x=\"");
    AppendCoordinate(sink, x);
    AppendText(sink, "\" y=\"");
    AppendCoordinate(sink, y);
    AppendText(sink, "\" width=\"");
    AppendCoordinate(sink, width);
    AppendText(sink, "\" height=\"");
    AppendCoordinate(sink, kRowHeight);
    AppendText(sink, "\" fill=\"");
    AppendText(sink, fill);
    AppendText(sink, "\"/>\n");
}

// One direction: its heading and the four rows.
void AppendSection(Tag_Text_Sink *sink, bool vertical, const int64_t counts[4], int64_t total,
                   bool sync_positive) {
    const double top = kSectionTop[vertical ? 1 : 0];
    OpenText(sink, kLeft, top, " font-weight=\"bold\"");
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
            OpenText(sink, x + width / 2, baseline, " text-anchor=\"middle\"");
        else if (x + width + kLabelGap + label_width <= kRight ||
                 x - kLabelGap - label_width < kLeft)
            OpenText(sink, x + width + kLabelGap, baseline, " text-anchor=\"start\"");
        else
            OpenText(sink, x - kLabelGap, baseline, " text-anchor=\"end\"");
        AppendText(sink, label_text);
        AppendText(sink, "</text>\n");
        start += counts[part];
    }
}

} // namespace

bool RenderTimingSvg(const Tag_Video_Timing *timing, const char *title, char *buffer, size_t size,
                     Tag_Timing_Error *error) {
    Tag_Text_Sink sink;
    StartText(&sink, buffer, size);
    if (!CheckTimingShape(timing, error))
        return false;
    const std::string_view title_text = title != nullptr ? title : "";
    const Tag_Video_Timing &t = *timing;

    AppendText(&sink, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"");
    AppendInteger(&sink, kPageWidth);
    AppendText(&sink, "\" height=\"");
    AppendInteger(&sink, kPageHeight);
    AppendText(&sink, "\" viewBox=\"0 0 ");
    AppendInteger(&sink, kPageWidth);
    AppendText(&sink, " ");
    AppendInteger(&sink, kPageHeight);
    AppendText(&sink, "\" font-family=\"monospace\" font-size=\"12\">\n<title>");
    AppendEscapedTitle(&sink, title_text);
    AppendText(&sink, "</title>\n<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" "
                      "fill=\"#ffffff\"/>\n");
    OpenText(&sink, kLeft, 30, " font-size=\"16\" font-weight=\"bold\"");
    AppendEscapedTitle(&sink, title_text);
    AppendText(&sink, "</text>\n");

    OpenText(&sink, kLeft, 56, "");
    AppendText(&sink, "pixel clock ");
    AppendMhz(&sink, t.clock_hz);
    AppendText(&sink, " MHz</text>\n");
    OpenText(&sink, 330, 56, "");
    AppendText(&sink, "horizontal frequency ");
    AppendFrequency(&sink, GetTimingHFreq(&t), 1000);
    AppendText(&sink, " kHz</text>\n");
    OpenText(&sink, 640, 56, "");
    AppendText(&sink, "refresh ");
    AppendFrequency(&sink, GetTimingRefresh(&t), 1);
    AppendText(&sink, " Hz, named ");
    AppendInteger(&sink, t.nominal_refresh);
    AppendText(&sink, " Hz</text>\n");
    OpenText(&sink, kLeft, 76, "");
    AppendText(&sink, t.h_sync_positive ? "horizontal sync positive</text>\n"
                                        : "horizontal sync negative</text>\n");
    OpenText(&sink, 330, 76, "");
    AppendText(&sink, t.v_sync_positive ? "vertical sync positive</text>\n"
                                        : "vertical sync negative</text>\n");

    const int64_t h_counts[4] = {t.h_active, t.h_front_porch, t.h_sync, t.h_back_porch};
    const int64_t v_counts[4] = {t.v_active, t.v_front_porch, t.v_sync, t.v_back_porch};
    AppendSection(&sink, false, h_counts, GetTimingHTotal(&t), t.h_sync_positive);
    AppendSection(&sink, true, v_counts, GetTimingVTotal(&t), t.v_sync_positive);
    AppendText(&sink, "</svg>\n");

    if (sink.overflow) {
        if (size > 0)
            buffer[0] = '\0';
        Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kBuffer);
        AppendText(&reason, "the SVG document does not fit in ");
        AppendInteger(&reason, static_cast<int64_t>(size));
        AppendText(&reason, " bytes");
        return false;
    }
    return true;
}
