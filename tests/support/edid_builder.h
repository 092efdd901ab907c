// EDIDs built byte by byte for the tests: detailed timing descriptors, other
// descriptors, the base block (vendor "ORV", product 0x04D2) with its
// established and standard timings, and CTA-861 extension blocks of data
// blocks and DTDs, each block with its checksum.
#ifndef ORVEX_TESTS_EDID_BUILDER_H
#define ORVEX_TESTS_EDID_BUILDER_H

#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace edid_builder {

using Bytes = std::vector<uint8_t>;

// A DTD from its raw fields (clock in 10 kHz; blanking, sync offset and
// width as stored, borders apart).
struct Dtd_Fields {
    int clock, h_active, h_blank, h_offset, h_sync, v_active, v_blank, v_offset, v_sync;
    int h_border, v_border, flags;
};

inline Bytes Dtd(const Dtd_Fields &f) {
    const int h_high = (f.h_active >> 8) << 4 | f.h_blank >> 8;
    const int v_high = (f.v_active >> 8) << 4 | f.v_blank >> 8;
    const int v_low = (f.v_offset & 15) << 4 | (f.v_sync & 15);
    const int sync_high =
        (f.h_offset >> 8) << 6 | (f.h_sync >> 8) << 4 | (f.v_offset >> 4) << 2 | f.v_sync >> 4;
    const int fields[18] = {f.clock,    f.clock >> 8, f.h_active, f.h_blank,  h_high,
                            f.v_active, f.v_blank,    v_high,     f.h_offset, f.h_sync,
                            v_low,      sync_high,    0,          0,          0,
                            f.h_border, f.v_border,   f.flags};
    Bytes d;
    for (int field : fields)
        d.push_back(uint8_t(field)); // the low byte
    return d;
}

// A display descriptor: tag, byte 4, then up to 13 bytes of payload (the rest 0).
inline Bytes Descriptor(uint8_t tag, uint8_t byte4, const Bytes &payload) {
    Bytes d(18, 0);
    d[3] = tag, d[4] = byte4;
    for (size_t i = 0; i < payload.size() && 5 + i < d.size(); ++i)
        d[5 + i] = payload[i];
    return d;
}

inline Bytes Name(const std::string &text) {
    return Descriptor(0xfc, 0, Bytes(text.begin(), text.end()));
}

// DMT 0x23 (1280x1024 at 60) and 0x04 (640x480 at 60, borders 8) as DTDs.
inline const Dtd_Fields kDtd1280 = {10800, 1280, 408, 48, 112, 1024, 42, 1, 3, 0, 0, 0x1e};
inline const Dtd_Fields kDtd640 = {2518, 640, 160, 8, 96, 480, 45, 2, 2, 8, 8, 0x18};

struct Edid_Layout {
    int revision = 3;
    uint8_t established[3] = {0, 0, 0};
    std::vector<Bytes> standard;         // 2-byte codes, up to 8
    std::vector<Bytes> descriptors;      // up to 4; dummies after
    std::vector<std::vector<Bytes>> cta; // each extension block's DTDs
    std::vector<Bytes> cta_data;         // each extension block's data blocks, as bytes
};

inline Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A CTA-861 data block: tag and payload.
inline Bytes DataBlock(int tag, const Bytes &payload) {
    Bytes b(1 + payload.size(), uint8_t(tag << 5 | payload.size()));
    std::copy(payload.begin(), payload.end(), b.begin() + 1);
    return b;
}

inline Bytes Checksummed(Bytes block) {
    unsigned sum = 0;
    for (size_t i = 0; i < 127; ++i)
        sum += block[i];
    block[127] = uint8_t(256 - sum % 256);
    return block;
}

inline Bytes Build(const Edid_Layout &s) {
    Bytes b(128, 0);
    const uint8_t header[8] = {0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0};
    memcpy(&b[0], header, 8);
    const unsigned vendor = ('O' - 64) << 10 | ('R' - 64) << 5 | ('V' - 64);
    b[8] = uint8_t(vendor >> 8), b[9] = uint8_t(vendor), b[10] = 0xd2, b[11] = 0x04;
    b[18] = 1, b[19] = uint8_t(s.revision);
    memcpy(&b[35], s.established, 3);
    for (size_t i = 0; i < 8; ++i) {
        Bytes code = i < s.standard.size() ? s.standard[i] : Bytes{1, 1};
        b[38 + 2 * i] = code[0], b[39 + 2 * i] = code[1];
    }
    for (size_t i = 0; i < 4; ++i) {
        Bytes d = i < s.descriptors.size() ? s.descriptors[i] : Descriptor(0x10, 0, {});
        std::copy(d.begin(), d.end(), b.begin() + 54 + 18 * i);
    }
    b[126] = uint8_t(s.cta.size());
    Bytes edid = Checksummed(b);
    for (size_t n = 0; n < s.cta.size(); ++n) {
        const std::vector<Bytes> &dtds = s.cta[n];
        const Bytes data = n < s.cta_data.size() ? s.cta_data[n] : Bytes();
        Bytes x(128, 0);
        x[0] = 0x02, x[1] = 3, x[2] = uint8_t(4 + data.size());
        std::copy(data.begin(), data.end(), x.begin() + 4);
        for (size_t i = 0; i < dtds.size(); ++i)
            std::copy(dtds[i].begin(), dtds[i].end(), x.begin() + x[2] + 18 * i);
        x = Checksummed(x);
        edid.insert(edid.end(), x.begin(), x.end());
    }
    return edid;
}

} // namespace edid_builder

#endif
