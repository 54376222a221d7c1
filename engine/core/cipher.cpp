#include "engine/core/cipher.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/blowfish.h"
#include "platform/win32/objbase.h"

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

// The key text is filled up and closed with this base64 character, so that it always decodes to
// nine bytes of which only the first nine characters decide.
constexpr char kKeyFiller = 'A';
constexpr int kKeyTextLength = 12;
constexpr int kKeySuffixAt = 9;

constexpr std::uint8_t kNotBase64 = 255;
constexpr std::uint8_t kBase64Pad = 64;

std::uint8_t Base64Index(unsigned char c) {
    if (c >= 'A' && c <= 'Z') {
        return static_cast<std::uint8_t>(c - 'A');
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<std::uint8_t>(c - 'a' + 26);
    }
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint8_t>(c - '0' + 52);
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return c == '=' ? kBase64Pad : kNotBase64;
}

// Deciphers into a vector, with base64 decoding first when asked; ok as for TCipher::Decrypt.
std::vector<std::uint8_t> DecryptToVector(const TBlowfish& blowfish, const char* data, int length,
                                          bool base64, bool& ok) {
    ok = false;
    if (length <= 0 || data == nullptr) {
        return {};
    }
    if (!base64) {
        return blowfish.DecryptBuffer(reinterpret_cast<const std::uint8_t*>(data),
                                      static_cast<std::size_t>(length), &ok);
    }
    const int decodedCapacity = Base64DecodedSize(length);
    if (decodedCapacity < 0) {
        return {};
    }
    std::vector<std::uint8_t> decoded(static_cast<std::size_t>(decodedCapacity));
    bool valid = false;
    const int decodedSize = Base64Decode(decoded.data(), data, length, &valid);
    std::vector<std::uint8_t> plain =
        blowfish.DecryptBuffer(decoded.data(), static_cast<std::size_t>(decodedSize), &ok);
    ok = ok && valid;
    return plain;
}

} // namespace

TCipher::TCipher(const str& keyText) : mBlowfish(std::make_unique<TBlowfish>()) {
    char text[kKeyTextLength];
    const int given = keyText.Length();
    for (int i = 0; i < kKeyTextLength; ++i) {
        text[i] = i < given ? keyText.CStr()[i] : kKeyFiller;
    }
    for (int i = kKeySuffixAt; i < kKeyTextLength; ++i) {
        text[i] = kKeyFiller;
    }
    std::uint8_t key[9];
    Base64Decode(key, text, kKeyTextLength);
    mBlowfish->SetKey(key, sizeof key);
}

TCipher::~TCipher() = default;

int TCipher::Encrypt(const void* data, int length, char* out, int outCapacity, bool base64) {
    if (length < 0 || (data == nullptr && length > 0) || length > INT_MAX - 8) {
        return -1;
    }
    const int enciphered = (length / 8 + 1) * 8;
    int needed = enciphered;
    if (base64) {
        const int text = Base64EncodedSize(enciphered);
        if (text < 0 || text == INT_MAX) {
            return -1;
        }
        needed = text + 1;
    }
    if (out == nullptr || outCapacity < needed) {
        return needed;
    }
    const std::vector<std::uint8_t> block =
        mBlowfish->EncryptBuffer(data, static_cast<std::size_t>(length));
    if (base64) {
        const int written = Base64Encode(out, block.data(), enciphered);
        out[written] = '\0';
    } else {
        std::memcpy(out, block.data(), block.size());
    }
    mBlowfish->mLastLength = needed;
    return 0;
}

int TCipher::Decrypt(const char* data, int length, char* out, int outCapacity, bool base64,
                     bool* ok) {
    bool wellFormed = false;
    const std::vector<std::uint8_t> plain =
        DecryptToVector(*mBlowfish, data, length, base64, wellFormed);
    if (ok) {
        *ok = wellFormed;
    }
    const int size = static_cast<int>(plain.size());
    if (out == nullptr || outCapacity < size) {
        return size;
    }
    if (size > 0) {
        std::memcpy(out, plain.data(), plain.size());
    }
    mBlowfish->mLastLength = size;
    return 0;
}

str TCipher::DecryptString(const str& text, bool* ok) {
    bool wellFormed = false;
    const std::vector<std::uint8_t> plain =
        DecryptToVector(*mBlowfish, text.CStr(), text.Length(), true, wellFormed);
    if (ok) {
        *ok = wellFormed;
    }
    if (plain.empty()) {
        return str();
    }
    const auto* bytes = reinterpret_cast<const char*>(plain.data());
    const void* zero = std::memchr(bytes, 0, plain.size());
    const std::size_t size =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : plain.size();
    return str(bytes, static_cast<int>(size));
}

int TCipher::GetLastLength() const {
    return mBlowfish->mLastLength;
}

int Base64EncodedSize(int n) {
    if (n <= 0) {
        return 0;
    }
    const long long size = (static_cast<long long>(n) + 2) / 3 * 4;
    return size > INT_MAX ? -1 : static_cast<int>(size);
}

int Base64DecodedSize(int n) {
    if (n <= 0) {
        return 0;
    }
    const long long size = (static_cast<long long>(n) + 3) / 4 * 3;
    return size > INT_MAX ? -1 : static_cast<int>(size);
}

int Base64Encode(char* out, const void* data, int n) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    int written = 0;
    for (int at = 0; at < n; at += 3) {
        const int left = n - at;
        const std::uint32_t b0 = bytes[at];
        const std::uint32_t b1 = left > 1 ? bytes[at + 1] : 0;
        const std::uint32_t b2 = left > 2 ? bytes[at + 2] : 0;
        const std::uint32_t group = b0 << 16 | b1 << 8 | b2;
        out[written++] = kBase64Alphabet[(group >> 18) & 63];
        out[written++] = kBase64Alphabet[(group >> 12) & 63];
        out[written++] = left > 1 ? kBase64Alphabet[(group >> 6) & 63] : '=';
        out[written++] = left > 2 ? kBase64Alphabet[group & 63] : '=';
    }
    return written;
}

int Base64Decode(void* out, const char* text, int n, bool* valid) {
    auto* bytes = static_cast<std::uint8_t*>(out);
    const auto* chars = reinterpret_cast<const unsigned char*>(text);
    bool clean = n >= 0 && n % 4 != 1;
    int count = 0;
    for (int at = 0; at < n; at += 4) {
        std::uint8_t index[4];
        // A short last group reads as padded with '='; the text itself is never touched.
        for (int i = 0; i < 4; ++i) {
            index[i] = at + i < n ? Base64Index(chars[at + i]) : kBase64Pad;
        }
        const bool last = at + 4 >= n;
        const bool pad3 = index[3] == kBase64Pad;
        const bool pad2 = pad3 && index[2] == kBase64Pad;
        for (int i = 0; i < 4; ++i) {
            const bool padAllowed = last && (i == 3 || (i == 2 && pad3));
            if (index[i] == kNotBase64 || (index[i] == kBase64Pad && !padAllowed)) {
                clean = false;
            }
        }
        bytes[count] = static_cast<std::uint8_t>(index[0] << 2 | ((index[1] >> 4) & 3));
        bytes[count + 1] = static_cast<std::uint8_t>(index[1] << 4 | ((index[2] >> 2) & 15));
        bytes[count + 2] = static_cast<std::uint8_t>(index[2] << 6 | (index[3] & 63));
        count += 3 - (pad3 ? 1 : 0) - (pad2 ? 1 : 0);
    }
    if (valid) {
        *valid = clean;
    }
    return count;
}

void NewGuid(TGuid* guid) {
    GUID value{};
    CoCreateGuid(&value);
    guid->data[0] = value.Data1;
    guid->data[1] =
        static_cast<std::uint32_t>(value.Data2) | static_cast<std::uint32_t>(value.Data3) << 16;
    guid->data[2] = static_cast<std::uint32_t>(value.Data4[0]) |
                    static_cast<std::uint32_t>(value.Data4[1]) << 8 |
                    static_cast<std::uint32_t>(value.Data4[2]) << 16 |
                    static_cast<std::uint32_t>(value.Data4[3]) << 24;
    guid->data[3] = static_cast<std::uint32_t>(value.Data4[4]) |
                    static_cast<std::uint32_t>(value.Data4[5]) << 8 |
                    static_cast<std::uint32_t>(value.Data4[6]) << 16 |
                    static_cast<std::uint32_t>(value.Data4[7]) << 24;
}

str NewGuidText() {
    TGuid guid{};
    NewGuid(&guid);
    char text[33];
    std::snprintf(text, sizeof text, "%08x%08x%08x%08x", guid.data[0], guid.data[1], guid.data[2],
                  guid.data[3]);
    return str(text);
}
