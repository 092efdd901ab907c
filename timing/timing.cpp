// The timing model: totals, frequencies and the shape check.
#include <math.h>

#include "timing/internal.h"

// The sum of four counts, held at INT64_MAX or INT64_MIN when it is beyond
// the 64-bit range. The sum is kept wrapped around, with the count of wraps
// (each worth 2^64), so an intermediate overflow that the later counts undo
// does not change the result.
static int64_t Total(int64_t active, int64_t front, int64_t sync, int64_t back) {
    int64_t sum = active;
    int wraps = 0;
    for (int64_t count : {front, sync, back})
        if (__builtin_add_overflow(sum, count, &sum))
            wraps += count > 0 ? 1 : -1;
    return wraps == 0 ? sum : wraps > 0 ? INT64_MAX : INT64_MIN;
}

int64_t GetTimingHTotal(const Tag_Video_Timing *timing) {
    return Total(timing->h_active, timing->h_front_porch, timing->h_sync, timing->h_back_porch);
}

int64_t GetTimingVTotal(const Tag_Video_Timing *timing) {
    return Total(timing->v_active, timing->v_front_porch, timing->v_sync, timing->v_back_porch);
}

double GetTimingHFreq(const Tag_Video_Timing *timing) {
    int64_t h_total = GetTimingHTotal(timing);
    if (h_total <= 0)
        return 0.0;
    return static_cast<double>(timing->clock_hz) / static_cast<double>(h_total);
}

double GetTimingRefresh(const Tag_Video_Timing *timing) {
    int64_t v_total = GetTimingVTotal(timing);
    if (v_total <= 0)
        return 0.0;
    return GetTimingHFreq(timing) / static_cast<double>(v_total);
}

int64_t GetClockKhz(int64_t clock_hz) {
    int64_t khz = clock_hz / 1000;
    int64_t rest = clock_hz % 1000; // same sign as clock_hz
    if (rest >= 500)
        ++khz;
    else if (rest <= -500)
        --khz;
    return khz;
}

namespace {

struct Tag_Item_Rule {
    const char *name;
    int64_t Tag_Video_Timing::*member;
    int64_t minimum;
    int64_t maximum;
};

// In Timing_Item order.
const Tag_Item_Rule item_rules[] = {
    {"pixel clock", &Tag_Video_Timing::clock_hz, 1, kTimingMaxClockHz},
    {"horizontal active", &Tag_Video_Timing::h_active, 1, kTimingMaxCount},
    {"horizontal front porch", &Tag_Video_Timing::h_front_porch, 0, kTimingMaxCount},
    {"horizontal sync", &Tag_Video_Timing::h_sync, 1, kTimingMaxCount},
    {"horizontal back porch", &Tag_Video_Timing::h_back_porch, 0, kTimingMaxCount},
    {"vertical active", &Tag_Video_Timing::v_active, 1, kTimingMaxCount},
    {"vertical front porch", &Tag_Video_Timing::v_front_porch, 0, kTimingMaxCount},
    {"vertical sync", &Tag_Video_Timing::v_sync, 1, kTimingMaxCount},
    {"vertical back porch", &Tag_Video_Timing::v_back_porch, 0, kTimingMaxCount},
};

} // namespace

namespace {

static_assert(sizeof item_rules / sizeof item_rules[0] == kTimingItemCount, "a rule per item");

// The rule of an item (kNone has none).
const Tag_Item_Rule *RuleOf(Timing_Item item) {
    int32_t index = static_cast<int32_t>(item);
    return index >= 0 && index < kTimingItemCount ? &item_rules[index] : nullptr;
}

bool InRange(const Tag_Video_Timing *timing, Timing_Item item) {
    const Tag_Item_Rule *rule = RuleOf(item);
    if (rule == nullptr)
        return true;
    int64_t value = timing->*rule->member;
    return value >= rule->minimum && value <= rule->maximum;
}

// False with the reason when the item is out of range.
bool CheckItem(const Tag_Video_Timing *timing, Timing_Item item, Tag_Timing_Error *error) {
    if (InRange(timing, item))
        return true;
    const Tag_Item_Rule &rule = *RuleOf(item);
    int64_t value = timing->*rule.member;
    bool clock = item == Timing_Item::kClock;
    Tag_Text_Sink reason = StartReason(error, Timing_Error_Code::kShape);
    AppendText(&reason, rule.name);
    AppendText(&reason, " ");
    clock ? AppendMhz(&reason, value) : AppendInteger(&reason, value);
    AppendText(&reason, clock ? " MHz" : "");
    if (value < rule.minimum) {
        AppendText(&reason, clock               ? " is not above 0"
                            : rule.minimum == 0 ? " is below 0"
                                                : " is below 1");
    } else {
        AppendText(&reason, " is above ");
        clock ? AppendMhz(&reason, rule.maximum) : AppendInteger(&reason, rule.maximum);
        AppendText(&reason, clock ? " MHz" : "");
    }
    return false;
}

} // namespace

Timing_Item FindTimingShapeFault(const Tag_Video_Timing *timing) {
    for (int32_t index = 0; index < kTimingItemCount; ++index) {
        Timing_Item item = static_cast<Timing_Item>(index);
        if (!InRange(timing, item))
            return item;
    }
    return Timing_Item::kNone;
}

bool CheckTimingShape(const Tag_Video_Timing *timing, Tag_Timing_Error *error) {
    return CheckItem(timing, FindTimingShapeFault(timing), error);
}

bool CheckTimingClock(int64_t clock_hz, Tag_Timing_Error *error) {
    Tag_Video_Timing timing = Tag_Video_Timing();
    timing.clock_hz = clock_hz;
    return CheckItem(&timing, Timing_Item::kClock, error);
}

bool SameTimingNumbers(const Tag_Video_Timing *a, const Tag_Video_Timing *b) {
    return a->clock_hz == b->clock_hz && a->h_active == b->h_active &&
           a->h_front_porch == b->h_front_porch && a->h_sync == b->h_sync &&
           a->h_back_porch == b->h_back_porch && a->v_active == b->v_active &&
           a->v_front_porch == b->v_front_porch && a->v_sync == b->v_sync &&
           a->v_back_porch == b->v_back_porch && a->h_cursor_offset == b->h_cursor_offset &&
           a->v_cursor_offset == b->v_cursor_offset && a->h_sync_positive == b->h_sync_positive &&
           a->v_sync_positive == b->v_sync_positive;
}

int64_t GetNearestWholeRefresh(const Tag_Video_Timing *timing) {
    return static_cast<int64_t>(floor(GetTimingRefresh(timing) + 0.5));
}
