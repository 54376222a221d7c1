// The Blowfish block cipher state (64-bit blocks, 16 rounds) and the engine's padded
// electronic-codebook buffers over it. Owned by a TCipher; not shared between threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS[4][256];

std::uint32_t ReadU32BE(const std::uint8_t* bytes);
void WriteU32BE(std::uint8_t* bytes, std::uint32_t value);

class TBlowfish {
public:
    // Starts from the initial tables; SetKey must run before use.
    TBlowfish();

    // The standard key schedule over n key bytes, used cyclically (n must be 1 or more).
    void SetKey(const std::uint8_t* key, std::size_t n);

    void EncryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void DecryptBlock(std::uint32_t& left, std::uint32_t& right) const;

    // Pads n bytes with p = 8 - n % 8 bytes of value p and enciphers every 8-byte block.
    std::vector<std::uint8_t> EncryptBuffer(const void* data, std::size_t n) const;

    // Deciphers n bytes (a partial last block is zero-filled) and removes the padding that the
    // last byte announces; an impossible pad length leaves nothing. ok, when given, is set to
    // true only when n is a non-zero multiple of 8 and the padding is intact.
    std::vector<std::uint8_t> DecryptBuffer(const std::uint8_t* data, std::size_t n,
                                            bool* ok = nullptr) const;

    // Size of the last output the owning TCipher wrote.
    int mLastLength = 0;

private:
    std::uint32_t Round(std::uint32_t x) const;

    std::array<std::array<std::uint32_t, 256>, 4> mS;
    std::array<std::uint32_t, 18> mP;
};
