#include "engine/core/blowfish.h"
#include "engine/core/cipher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::string ToHex(const std::uint8_t* bytes, std::size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string EncipherBlock(const TBlowfish& blowfish, const std::string& plainHex) {
    const Bytes plain = FromHex(plainHex);
    std::uint32_t left = ReadU32BE(plain.data());
    std::uint32_t right = ReadU32BE(plain.data() + 4);
    blowfish.EncryptBlock(left, right);
    std::uint8_t out[8];
    WriteU32BE(out, left);
    WriteU32BE(out + 4, right);
    return ToHex(out, 8);
}

std::string DecipherBlock(const TBlowfish& blowfish, const std::string& cipherHex) {
    const Bytes data = FromHex(cipherHex);
    std::uint32_t left = ReadU32BE(data.data());
    std::uint32_t right = ReadU32BE(data.data() + 4);
    blowfish.DecryptBlock(left, right);
    std::uint8_t out[8];
    WriteU32BE(out, left);
    WriteU32BE(out + 4, right);
    return ToHex(out, 8);
}

struct BlockVector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Published Blowfish test vectors (64-bit keys).
const BlockVector kPublishedVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
};

TEST(Blowfish, PublishedVectorsBothWays) {
    for (const BlockVector& v : kPublishedVectors) {
        SCOPED_TRACE(v.key);
        const Bytes key = FromHex(v.key);
        TBlowfish blowfish;
        blowfish.SetKey(key.data(), key.size());
        EXPECT_EQ(EncipherBlock(blowfish, v.plain), v.cipher);
        EXPECT_EQ(DecipherBlock(blowfish, v.cipher), v.plain);
    }
}

// Published vectors for keys of 1 to 24 bytes (prefixes of one key), which exercise the key
// bytes being used cyclically; the engine's own keys are 9 bytes long.
TEST(Blowfish, PublishedVariableKeyLengths) {
    const Bytes key = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const char* const expected[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
        "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    for (std::size_t length = 1; length <= key.size(); ++length) {
        SCOPED_TRACE(length);
        TBlowfish blowfish;
        blowfish.SetKey(key.data(), length);
        EXPECT_EQ(EncipherBlock(blowfish, "FEDCBA9876543210"), expected[length - 1]);
    }
}

TEST(Blowfish, InitialTablesAreTheDigitsOfPi) {
    // Spot checks at the ends of each table: a transposed or truncated table breaks these.
    EXPECT_EQ(kBlowfishInitialP[0], 0x243f6a88u);
    EXPECT_EQ(kBlowfishInitialP[17], 0x8979fb1bu);
    EXPECT_EQ(kBlowfishInitialS[0][0], 0xd1310ba6u);
    EXPECT_EQ(kBlowfishInitialS[0][255], 0x6e85076au);
    EXPECT_EQ(kBlowfishInitialS[1][0], 0x4b7a70e9u);
    EXPECT_EQ(kBlowfishInitialS[3][255], 0x3ac372e6u);
}

std::string Encipher(TCipher& cipher, const void* data, int length) {
    const int needed = cipher.Encrypt(data, length, nullptr, 0, false);
    std::vector<char> out(static_cast<std::size_t>(needed));
    EXPECT_EQ(cipher.Encrypt(data, length, out.data(), needed, false), 0);
    return std::string(out.begin(), out.end());
}

std::string EncipherText(TCipher& cipher, const std::string& text) {
    const int length = static_cast<int>(text.size()) + 1; // with its zero byte
    const int needed = cipher.Encrypt(text.c_str(), length, nullptr, 0, true);
    std::vector<char> out(static_cast<std::size_t>(needed));
    EXPECT_EQ(cipher.Encrypt(text.c_str(), length, out.data(), needed, true), 0);
    EXPECT_EQ(out.back(), '\0');
    return std::string(out.data());
}

TEST(Cipher, EmptyKeyTextDecodesToTheZeroKey) {
    // Twelve filler characters decode to nine zero bytes: the zero key of the published vector.
    TCipher cipher(str(""));
    const std::uint8_t zeros[8] = {};
    const std::string out = Encipher(cipher, zeros, 8);
    ASSERT_EQ(out.size(), 16u);
    EXPECT_EQ(ToHex(reinterpret_cast<const std::uint8_t*>(out.data()), 8), "4EF997456198DD78");
}

TEST(Cipher, PaddingSizes) {
    struct Case {
        int length;
        int enciphered;
        int base64Needed;
    };
    const Case cases[] = {
        {0, 8, 13}, {1, 8, 13}, {7, 8, 13}, {8, 16, 25}, {9, 16, 25}, {15, 16, 25}, {16, 24, 33},
    };
    TCipher cipher(str("Rw5uLk9cTbXe"));
    const std::string data(16, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(cipher.Encrypt(data.data(), c.length, nullptr, 0, false), c.enciphered);
        EXPECT_EQ(cipher.Encrypt(data.data(), c.length, nullptr, 0, true), c.base64Needed);
    }
}

TEST(Cipher, ZeroBytesEncipherToOneBlockOfEights) {
    TCipher cipher(str("Rw5uLk9cTbXe"));
    char text[13];
    ASSERT_EQ(cipher.Encrypt(nullptr, 0, text, sizeof text, true), 0);
    EXPECT_EQ(cipher.GetLastLength(), 13);
    EXPECT_EQ(std::string(text).size(), 12u);

    // The same block through the bare cipher, keyed as the key text decodes.
    const Bytes key = FromHex("470E6E2E4F5C4C0000"); // "Rw5uLk9cTAAA"
    TBlowfish blowfish;
    blowfish.SetKey(key.data(), key.size());
    const std::string raw = Encipher(cipher, nullptr, 0);
    EXPECT_EQ(ToHex(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()),
              EncipherBlock(blowfish, "0808080808080808"));
}

TEST(Cipher, KeyDerivation) {
    const std::string plain = "the same plain text";
    auto encipher = [&](const char* key) {
        TCipher cipher{str(key)};
        return Encipher(cipher, plain.data(), static_cast<int>(plain.size()));
    };
    const std::string reference = encipher("abcdefghiAAA");
    // Only the first nine characters count; short texts are filled up, long ones cut.
    for (const char* same : {"abcdefghi", "abcdefghiXYZ", "abcdefghiAAAAAAA", "abcdefghi%%%"}) {
        SCOPED_TRACE(same);
        EXPECT_EQ(encipher(same), reference);
    }
    EXPECT_NE(encipher("abcdefghj"), reference);
    EXPECT_NE(encipher("bbcdefghi"), reference);
    EXPECT_EQ(encipher("abcde"), encipher("abcdeAAAAAAA"));
    EXPECT_EQ(encipher(""), encipher("AAAAAAAAAAAA"));
}

TEST(Cipher, NeededSizeProtocol) {
    TCipher cipher(str("Rw5uLk9cTbXe"));
    const char data[] = "0123456789";
    char out[40];
    std::fill(std::begin(out), std::end(out), '#');
    // Too small: the size comes back and nothing is written.
    EXPECT_EQ(cipher.Encrypt(data, 10, out, 24, true), 25);
    EXPECT_EQ(cipher.Encrypt(data, 10, out, 15, false), 16);
    EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, '#'));
    EXPECT_EQ(cipher.Encrypt(data, 10, out, 25, true), 0);
    EXPECT_EQ(cipher.GetLastLength(), 25);
    EXPECT_EQ(out[24], '\0');
    EXPECT_EQ(out[25], '#');

    const std::string text(out);
    char plain[16];
    std::fill(std::begin(plain), std::end(plain), '#');
    EXPECT_EQ(cipher.Decrypt(text.c_str(), 24, nullptr, 0, true), 10);
    EXPECT_EQ(cipher.Decrypt(text.c_str(), 24, plain, 9, true), 10);
    EXPECT_EQ(std::string(plain, sizeof plain), std::string(sizeof plain, '#'));
    EXPECT_EQ(cipher.Decrypt(text.c_str(), 24, plain, 10, true), 0);
    EXPECT_EQ(cipher.GetLastLength(), 10);
    EXPECT_EQ(std::string(plain, 10), "0123456789");
    EXPECT_EQ(plain[10], '#');
}

TEST(Cipher, RejectsBadArguments) {
    TCipher cipher(str("Rw5uLk9cTbXe"));
    char out[64];
    EXPECT_EQ(cipher.Encrypt("abc", -1, out, sizeof out, false), -1);
    EXPECT_EQ(cipher.Encrypt(nullptr, 3, out, sizeof out, true), -1);
    bool ok = true;
    EXPECT_EQ(cipher.Decrypt(nullptr, 8, nullptr, 0, false, &ok), 0);
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(cipher.Decrypt("abcdefgh", -8, nullptr, 0, false, &ok), 0);
    EXPECT_FALSE(ok);
}

// Deciphering blocks whose plain bytes are chosen: built with the bare cipher under the key that
// the empty key text gives (nine zero bytes).
TEST(Cipher, PaddingRuleOnDecipher) {
    struct Case {
        const char* plainHex;
        int size;
        bool ok;
    };
    const Case cases[] = {
        {"4142434445464701", 7, true},
        {"4142434445030303", 5, true},
        {"0808080808080808", 0, true},                  // a whole pad block: genuinely empty
        {"4142434445460502", 6, false},                 // pad bytes disagree
        {"4142434445464700", 8, false},                 // 0 removes nothing
        {"4142434445464780", 0, false},                 // negative pad
        {"41424344454647FF", 0, false},                 // negative pad
        {"4142434445464709", 0, false},                 // longer than the data
        {"41424344454647484142434445464710", 0, false}, // 16 of 16 bytes
        {"4142434445464748414243440C0C0C0C", 4, false}, // longer than a block
    };
    // 0x80 read as a byte value would leave 8 of these 136 bytes; read as signed, it leaves none.
    const std::string longNegative = std::string(270, '4') + "80";
    const std::string longWhole = std::string(270, '4') + "00";
    const Case longCases[] = {{longNegative.c_str(), 0, false}, {longWhole.c_str(), 136, false}};
    const std::uint8_t zeroKey[9] = {};
    TBlowfish blowfish;
    blowfish.SetKey(zeroKey, sizeof zeroKey);
    TCipher cipher(str(""));
    std::vector<Case> all(std::begin(cases), std::end(cases));
    all.insert(all.end(), std::begin(longCases), std::end(longCases));
    for (const Case& c : all) {
        SCOPED_TRACE(c.plainHex);
        const std::string plainHex = c.plainHex;
        std::string data;
        for (std::size_t at = 0; at < plainHex.size(); at += 16) {
            for (std::uint8_t b : FromHex(EncipherBlock(blowfish, plainHex.substr(at, 16)))) {
                data += static_cast<char>(b);
            }
        }
        bool ok = !c.ok;
        const int size =
            cipher.Decrypt(data.data(), static_cast<int>(data.size()), nullptr, 0, false, &ok);
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(ok, c.ok);
        std::vector<char> out(static_cast<std::size_t>(c.size) + 1);
        ok = !c.ok;
        ASSERT_EQ(cipher.Decrypt(data.data(), static_cast<int>(data.size()), out.data(), c.size,
                                 false, &ok),
                  0);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(cipher.GetLastLength(), c.size);
        EXPECT_EQ(ToHex(reinterpret_cast<const std::uint8_t*>(out.data()),
                        static_cast<std::size_t>(c.size)),
                  plainHex.substr(0, static_cast<std::size_t>(c.size) * 2));
    }
}

TEST(Cipher, TextRoundTrips) {
    const std::string texts[] = {
        "",
        "a",
        "1234567",
        "12345678",
        "123456789",
        "ABCDEFGHIJKLMNO",
        "ABCDEFGHIJKLMNOP",
        "caf\xc3\xa9 \xe2\x82\xac and \x7f\x80\xff bytes",
        std::string(1000, 'z'),
    };
    for (const char* key : {"Rw5uLk9cTbXe", "", "k"}) {
        TCipher cipher{str(key)};
        for (const std::string& text : texts) {
            SCOPED_TRACE(text);
            const std::string enciphered = EncipherText(cipher, text);
            // (n + 1) bytes pad to the next multiple of 8; base64 has 4 characters per 3 bytes.
            const std::size_t blocks = (text.size() + 1) / 8 + 1;
            EXPECT_EQ(enciphered.size(), (blocks * 8 + 2) / 3 * 4);
            bool ok = false;
            const str back = cipher.DecryptString(str(enciphered.c_str()), &ok);
            EXPECT_TRUE(ok);
            EXPECT_EQ(std::string(back.CStr(), static_cast<std::size_t>(back.Length())), text);
        }
    }
}

TEST(Cipher, BinaryRoundTripKeepsZeroBytes) {
    TCipher cipher(str("Rw5uLk9cTbXe"));
    std::string data;
    for (int i = 0; i < 300; ++i) {
        data += static_cast<char>(i * 7);
    }
    const std::string enciphered = Encipher(cipher, data.data(), static_cast<int>(data.size()));
    ASSERT_EQ(enciphered.size(), 304u);
    std::vector<char> plain(300);
    ASSERT_EQ(cipher.Decrypt(enciphered.data(), 304, plain.data(), 300, false), 0);
    EXPECT_EQ(std::string(plain.begin(), plain.end()), data);
}

TEST(Cipher, DecryptStringStopsAtTheFirstZeroByte) {
    TCipher cipher(str("Rw5uLk9cTbXe"));
    struct Case {
        std::string plain;
        const char* expected;
    };
    const Case cases[] = {
        {std::string("ab\0cd", 5), "ab"},
        {"no zero byte", "no zero byte"},
        {std::string("\0abc", 4), ""},
    };
    for (const Case& c : cases) {
        char out[64];
        ASSERT_EQ(
            cipher.Encrypt(c.plain.data(), static_cast<int>(c.plain.size()), out, sizeof out, true),
            0);
        EXPECT_STREQ(cipher.DecryptString(str(out)).CStr(), c.expected);
    }
}

TEST(Cipher, DamagedTextIsNotWellFormed) {
    TCipher cipher(str("Rw5uLk9cTbXe"));
    const std::string good = EncipherText(cipher, "a secret cheat code");
    ASSERT_EQ(good.size(), 32u);
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"empty", ""},
        {"not base64", "!!!!!!!!!!!!"},
        {"foreign character", good.substr(0, 10) + "*" + good.substr(11)},
        {"pad inside", good.substr(0, 10) + "=" + good.substr(11)},
        {"cut by a group", good.substr(0, 28)},
        {"cut by one character", good.substr(0, 31)},
        {"under another key", EncipherText(*std::make_unique<TCipher>(str("other")), "xyz")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool ok = true;
        cipher.DecryptString(str(c.text.c_str()), &ok);
        EXPECT_FALSE(ok);
    }
    EXPECT_STREQ(cipher.DecryptString(str("")).CStr(), "");
}

TEST(Cipher, DecryptLeavesTheCallersTextAlone) {
    TCipher cipher(str("Rw5uLk9cTbXe"));
    const std::string good = EncipherText(cipher, "hello");
    // Lengths that are not a multiple of 4 must be padded without writing past the text; the
    // buffer holds exactly the given characters, so the sanitizer sees any access beyond them.
    for (std::size_t length : {good.size(), good.size() - 1, good.size() - 2, std::size_t{5}}) {
        SCOPED_TRACE(length);
        std::vector<char> text(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        const std::vector<char> before = text;
        char out[32];
        cipher.Decrypt(text.data(), static_cast<int>(length), out, sizeof out, true);
        EXPECT_EQ(text, before);
        std::vector<std::uint8_t> decoded(
            static_cast<std::size_t>(Base64DecodedSize(static_cast<int>(length))));
        Base64Decode(decoded.data(), text.data(), static_cast<int>(length));
        EXPECT_EQ(text, before);
    }
}

TEST(Base64, Rfc4648Vectors) {
    struct Case {
        std::string plain;
        std::string text;
    };
    const Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xff\xfe\x00", 3), "//4A"},
        {"\xfb\xef", "++8="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const int n = static_cast<int>(c.plain.size());
        ASSERT_EQ(Base64EncodedSize(n), static_cast<int>(c.text.size()));
        std::string text(c.text.size(), '?');
        EXPECT_EQ(Base64Encode(text.data(), c.plain.data(), n), static_cast<int>(c.text.size()));
        EXPECT_EQ(text, c.text);

        const int t = static_cast<int>(c.text.size());
        std::vector<char> bytes(static_cast<std::size_t>(Base64DecodedSize(t)));
        bool valid = false;
        const int count = Base64Decode(bytes.data(), c.text.data(), t, &valid);
        EXPECT_TRUE(valid);
        ASSERT_EQ(count, n);
        EXPECT_EQ(std::string(bytes.data(), static_cast<std::size_t>(count)), c.plain);
    }
}

TEST(Base64, Sizes) {
    const int encoded[][2] = {{0, 0}, {1, 4}, {2, 4}, {3, 4}, {4, 8}, {8, 12}, {16, 24}};
    for (const auto& c : encoded) {
        EXPECT_EQ(Base64EncodedSize(c[0]), c[1]) << c[0];
    }
    const int decoded[][2] = {{0, 0}, {1, 3}, {3, 3}, {4, 3}, {5, 6}, {12, 9}, {24, 18}};
    for (const auto& c : decoded) {
        EXPECT_EQ(Base64DecodedSize(c[0]), c[1]) << c[0];
    }
}

TEST(Base64, DecodingOddAndDamagedText) {
    struct Case {
        const char* text;
        const char* bytesHex; // every byte written, including those past the count
        int count;
        bool valid;
    };
    const Case cases[] = {
        {"Zg", "660000", 1, true}, // short group read as padded
        {"Zm8", "666F00", 2, true},
        {"Z", "640000", 1, false},    // one character cannot make a byte
        {"Zg=a", "66001A", 3, false}, // '=' followed by data
        {"Zm9v*A==", "666F6FFC0000", 4, false},
        {"=Zm9", "0199BD", 3, false},
        {"Zm9\x80", "666F7F", 3, false}, // bytes of 0x80 and above are not base64
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const int n = static_cast<int>(std::string(c.text).size());
        std::vector<std::uint8_t> out(static_cast<std::size_t>(Base64DecodedSize(n)), 0xAA);
        bool valid = !c.valid;
        EXPECT_EQ(Base64Decode(out.data(), c.text, n, &valid), c.count);
        EXPECT_EQ(valid, c.valid);
        const std::string expected = c.bytesHex;
        EXPECT_EQ(ToHex(out.data(), expected.size() / 2), expected);
    }
}

TEST(Guid, NewGuidsAreRandomVersion4) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        TGuid guid{};
        NewGuid(&guid);
        EXPECT_EQ((guid.data[1] >> 28) & 15u, 4u); // Data3's top nibble: version 4
        EXPECT_EQ((guid.data[2] >> 6) & 3u, 2u);   // Data4[0]'s top bits: RFC variant
        const str text = NewGuidText();
        ASSERT_EQ(text.Length(), 32);
        for (int k = 0; k < 32; ++k) {
            const char c = text.CStr()[k];
            EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << text.CStr();
        }
        // Word 1 is Data2 | Data3 << 16, printed as 8 digits: the version is its first digit.
        EXPECT_EQ(text.CStr()[8], '4');
        seen.insert(text.CStr());
    }
    EXPECT_EQ(seen.size(), 200u);
}

} // namespace
