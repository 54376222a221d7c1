#include "engine/core/blowfish.h"

#include <algorithm>

std::uint32_t ReadU32BE(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | static_cast<std::uint32_t>(bytes[3]);
}

void WriteU32BE(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value >> 24);
    bytes[1] = static_cast<std::uint8_t>(value >> 16);
    bytes[2] = static_cast<std::uint8_t>(value >> 8);
    bytes[3] = static_cast<std::uint8_t>(value);
}

TBlowfish::TBlowfish() {
    std::copy(std::begin(kBlowfishInitialP), std::end(kBlowfishInitialP), mP.begin());
    for (std::size_t box = 0; box < 4; ++box) {
        std::copy(std::begin(kBlowfishInitialS[box]), std::end(kBlowfishInitialS[box]),
                  mS[box].begin());
    }
}

void TBlowfish::SetKey(const std::uint8_t* key, std::size_t n) {
    std::copy(std::begin(kBlowfishInitialP), std::end(kBlowfishInitialP), mP.begin());
    for (std::size_t box = 0; box < 4; ++box) {
        std::copy(std::begin(kBlowfishInitialS[box]), std::end(kBlowfishInitialS[box]),
                  mS[box].begin());
    }
    if (n == 0) {
        return;
    }
    std::size_t k = 0;
    for (std::uint32_t& p : mP) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = word << 8 | key[k];
            k = (k + 1) % n;
        }
        p ^= word;
    }
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < mP.size(); i += 2) {
        EncryptBlock(left, right);
        mP[i] = left;
        mP[i + 1] = right;
    }
    for (auto& box : mS) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            EncryptBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

std::uint32_t TBlowfish::Round(std::uint32_t x) const {
    return ((mS[0][x >> 24] + mS[1][(x >> 16) & 255]) ^ mS[2][(x >> 8) & 255]) + mS[3][x & 255];
}

void TBlowfish::EncryptBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (std::size_t i = 0; i < 16; ++i) {
        l ^= mP[i];
        r ^= Round(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= mP[16];
    l ^= mP[17];
    left = l;
    right = r;
}

void TBlowfish::DecryptBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (std::size_t i = 17; i > 1; --i) {
        l ^= mP[i];
        r ^= Round(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= mP[1];
    l ^= mP[0];
    left = l;
    right = r;
}

std::vector<std::uint8_t> TBlowfish::EncryptBuffer(const void* data, std::size_t n) const {
    const std::size_t pad = 8 - n % 8;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> out;
    out.reserve(n + pad);
    if (n > 0) {
        out.assign(bytes, bytes + n);
    }
    out.resize(n + pad, static_cast<std::uint8_t>(pad));
    for (std::size_t at = 0; at < out.size(); at += 8) {
        std::uint32_t left = ReadU32BE(&out[at]);
        std::uint32_t right = ReadU32BE(&out[at + 4]);
        EncryptBlock(left, right);
        WriteU32BE(&out[at], left);
        WriteU32BE(&out[at + 4], right);
    }
    return out;
}

std::vector<std::uint8_t> TBlowfish::DecryptBuffer(const std::uint8_t* data, std::size_t n,
                                                   bool* ok) const {
    if (ok) {
        *ok = false;
    }
    if (n == 0) {
        return {};
    }
    std::vector<std::uint8_t> plain(data, data + n);
    plain.resize((n + 7) / 8 * 8, 0);
    for (std::size_t at = 0; at < plain.size(); at += 8) {
        std::uint32_t left = ReadU32BE(&plain[at]);
        std::uint32_t right = ReadU32BE(&plain[at + 4]);
        DecryptBlock(left, right);
        WriteU32BE(&plain[at], left);
        WriteU32BE(&plain[at + 4], right);
    }
    // The last byte is read as signed: 0x80 and above, like a pad longer than the data, leave
    // nothing; 0 removes nothing.
    const int last = plain[n - 1];
    const int pad = last >= 0x80 ? last - 0x100 : last;
    std::size_t size = 0;
    if (pad >= 0 && static_cast<std::size_t>(pad) <= n) {
        size = n - static_cast<std::size_t>(pad);
    }
    if (ok && n % 8 == 0 && pad >= 1 && pad <= 8) {
        *ok = std::all_of(plain.begin() + static_cast<std::ptrdiff_t>(n) - pad,
                          plain.begin() + static_cast<std::ptrdiff_t>(n),
                          [pad](std::uint8_t b) { return b == pad; });
    }
    plain.resize(size);
    return plain;
}
