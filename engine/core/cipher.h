// The engine's one small cipher: Blowfish in electronic-codebook mode with the engine's padding
// (1 to 8 bytes, each holding the pad length) and an optional base64 text form. It enciphers the
// preferences and hiscore files and deciphers the cheat code. Also the GUID helpers.
// A TCipher is owned by its user and not shared; one object may be used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/str.h"

class TBlowfish;

class TCipher {
public:
    // Derives the key from keyText (any length; see cipher.cpp) and runs the key schedule.
    explicit TCipher(const str& keyText);
    ~TCipher();
    TCipher(const TCipher&) = delete;
    TCipher& operator=(const TCipher&) = delete;

    // Pads and enciphers length bytes. Returns 0 when the result was written to out, otherwise
    // the number of bytes out must hold (out may be null to ask). With base64 the result is the
    // base64 text and a terminating zero byte, and the needed size counts that byte.
    // Returns -1, writing nothing, for a negative length, null data with a positive length or a
    // result too large for an int.
    int Encrypt(const void* data, int length, char* out, int outCapacity, bool base64);

    // Deciphers length bytes (with base64: length characters of base64 text). Returns 0 when the
    // plain bytes were written to out, otherwise the plain size (out may be null to ask).
    // Data that does not decipher (damaged, wrong key) yields an empty or short result, as the
    // padding rule leaves it; ok, when given, tells such a failure from a genuine result: it is
    // set to true only for well-formed input (valid base64, a non-empty multiple of 8 bytes,
    // intact padding). Blocks are independent, so damage before the last block goes unseen.
    int Decrypt(const char* data, int length, char* out, int outCapacity, bool base64,
                bool* ok = nullptr);

    // The plain text of a base64 text (up to its first zero byte), or "" when it deciphers to
    // nothing. ok as for Decrypt.
    str DecryptString(const str& text, bool* ok = nullptr);

    // Size of the last output Encrypt or Decrypt wrote.
    int GetLastLength() const;

private:
    std::unique_ptr<TBlowfish> mBlowfish;
};

// Base64 with the RFC 4648 alphabet, '=' padding, no line breaks.
// EncodedSize(n) = ceil(n / 3) * 4; DecodedSize(n) = (n rounded up to a multiple of 4) / 4 * 3.
int Base64EncodedSize(int n);
int Base64DecodedSize(int n);
// Writes Base64EncodedSize(n) characters (no terminating zero) and returns their number.
int Base64Encode(char* out, const void* data, int n);
// Decodes n characters into out, which must hold Base64DecodedSize(n) bytes; a text whose length
// is not a multiple of 4 is taken as padded with '='. Characters outside the alphabet, and '='
// anywhere but at the end, decode as garbage rather than fail; valid, when given, is set to false
// for them and for a lone last character. The text is only read.
// Returns the number of bytes decoded.
int Base64Decode(void* out, const char* text, int n, bool* valid = nullptr);

// A GUID as four 32-bit words in the order of its memory, each read little-endian:
// Data1; Data2 | Data3 << 16; Data4[0..3]; Data4[4..7].
struct TGuid {
    std::uint32_t data[4];
};

// Fills guid from CoCreateGuid.
void NewGuid(TGuid* guid);
// A new GUID as 32 lower-case hexadecimal digits (the four words, "%08x" each).
str NewGuidText();
