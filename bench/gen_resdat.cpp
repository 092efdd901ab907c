// gen_resdat: writes a large, realistic resolution data file for benchmarks:
// MONITORS monitor blocks each listing RESOLUTIONS ids spread over BLOCKS
// timing blocks of the fourteen fields, with CR LF line ends.
//
//   gen_resdat BLOCKS MONITORS RESOLUTIONS OUT
#include <stdio.h>
#include <stdlib.h>

namespace {

struct Mode {
    int width, height;
    int hsp, hbp, hfp, vsp, vbp, vfp;
    bool positive;
};

const Mode kModes[] = {
    {640, 480, 96, 48, 16, 2, 33, 10, false},   {800, 600, 128, 88, 40, 4, 23, 1, true},
    {1024, 768, 136, 160, 24, 6, 29, 3, false}, {1152, 864, 128, 256, 64, 3, 32, 1, true},
    {1280, 1024, 112, 248, 48, 3, 38, 1, true}, {1600, 1200, 192, 304, 64, 3, 46, 1, true},
    {1280, 960, 112, 312, 96, 3, 36, 1, true},  {720, 400, 108, 54, 18, 2, 34, 13, false},
};
const int kModeCount = sizeof kModes / sizeof kModes[0];

} // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: gen_resdat BLOCKS MONITORS RESOLUTIONS OUT\n");
        return 2;
    }
    long blocks = strtol(argv[1], nullptr, 10);
    long monitors = strtol(argv[2], nullptr, 10);
    long resolutions = strtol(argv[3], nullptr, 10);
    if (blocks < 1 || monitors < 0 || resolutions < 0 || resolutions > blocks) {
        fprintf(stderr, "gen_resdat: need BLOCKS >= 1 and 0 <= RESOLUTIONS <= BLOCKS\n");
        return 2;
    }
    FILE *out = fopen(argv[4], "wb");
    if (out == nullptr) {
        perror(argv[4]);
        return 1;
    }
    fprintf(out,
            ";File:  ORVEXRES.DAT\r\n; Generated monitor timings: %ld blocks, %ld monitors"
            " of %ld resolutions\r\n\r\n",
            blocks, monitors, resolutions);
    fprintf(out, "BusType = PCI\r\nMemAddr = F000\r\nMemSize = 4\r\nMemConfig = 1\r\n"
                 "DefMode = 1024x768\r\n\r\n");

    // Block b has mode b % kModeCount and a refresh rate from 50 Hz upwards,
    // so ids are unique and every mode appears at many refresh rates.
    auto id = [&](long b, char *buf, size_t size) {
        const Mode &m = kModes[b % kModeCount];
        snprintf(buf, size, "T%ld:%dx%dx%ld", b, m.width, m.height, 50 + b / kModeCount);
    };
    char text[64];
    for (long mon = 0; mon < monitors; ++mon) {
        fprintf(out, "[M%ld]\r\nname=Monitor %05ld\r\n", mon, mon);
        long start = (mon * 7919) % blocks;
        for (long r = 0; r < resolutions; ++r) {
            id((start + r) % blocks, text, sizeof text);
            fprintf(out, "timing%ld = %s\r\n", r, text);
        }
        fprintf(out, "\r\n");
    }
    fprintf(out, "\r\n");
    for (long b = 0; b < blocks; ++b) {
        const Mode &m = kModes[b % kModeCount];
        long hz = 50 + b / kModeCount;
        long total = (m.width + m.hsp + m.hbp + m.hfp) * (m.height + m.vsp + m.vbp + m.vfp);
        id(b, text, sizeof text);
        fprintf(out,
                "[%s]\r\nhdr=%ld.%03ldmHz\r\nhsp=%d\r\nhbp=%d\r\nhad=%d\r\nhfp=%d\r\nhco=0\r\n"
                "hp =%s\r\nvlr=%ldHz\r\nvsp=%d\r\nvbp=%d\r\nvad=%d\r\nvfp=%d\r\nvco=0\r\n"
                "vp =%s\r\n\r\n",
                text, total * hz / 1000000, (total * hz / 1000) % 1000, m.hsp, m.hbp, m.width,
                m.hfp, m.positive ? "positive" : "negative", hz, m.vsp, m.vbp, m.height, m.vfp,
                m.positive ? "positive" : "negative");
    }
    if (fclose(out) != 0) {
        perror(argv[4]);
        return 1;
    }
    return 0;
}
