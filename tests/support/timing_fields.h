// Every field of a timing in one line, for comparing timings in the tests
// with a readable difference; and the DMT list.
#ifndef ORVEX_TESTS_TIMING_FIELDS_H
#define ORVEX_TESTS_TIMING_FIELDS_H

#include <string>
#include <vector>

#include "timing/timing.h"
#include "timing/vesa.h"

inline std::string TimingFields(const Tag_Video_Timing &t) {
    auto n = [](int64_t value) { return std::to_string(value); };
    return "clock " + n(t.clock_hz) + " h " + n(t.h_active) + " " + n(t.h_front_porch) + " " +
           n(t.h_sync) + " " + n(t.h_back_porch) + (t.h_sync_positive ? " +" : " -") + " v " +
           n(t.v_active) + " " + n(t.v_front_porch) + " " + n(t.v_sync) + " " + n(t.v_back_porch) +
           (t.v_sync_positive ? " +" : " -") + " cursor " + n(t.h_cursor_offset) + " " +
           n(t.v_cursor_offset) + " refresh " + n(t.nominal_refresh);
}

// Every mode of the DMT list, found by its id.
inline std::vector<const Tag_Dmt_Mode *> DmtModes() {
    std::vector<const Tag_Dmt_Mode *> modes;
    for (int64_t id = 0; id <= 0xFF; ++id)
        if (const Tag_Dmt_Mode *mode = FindDmtModeById(id, nullptr))
            modes.push_back(mode);
    return modes;
}

#endif
