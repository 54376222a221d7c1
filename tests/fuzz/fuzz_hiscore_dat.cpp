// Feeds arbitrary bytes to the hiscore file reader twice: as the file itself (almost always
// refused by its checksum) and as the document inside a well-formed file, which is then written
// back and read again; the second writing must equal the first.
#include "engine/core/cipher.h"
#include "engine/core/qzhiscores.h"
#include "engine/core/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char kKey[] = "Fz3kQ8wNp2Lx";

TQzHiscores* gClient = nullptr;
TCipher* gCipher = nullptr;

// A file holding `size` bytes of document text and its zero byte, with a matching checksum.
std::vector<char> WellFormedFile(const char* text, int size) {
    std::vector<char> plain(text, text + size);
    plain.push_back('\0');
    const int plainSize = static_cast<int>(plain.size());
    const int bodySize = gCipher->Encrypt(plain.data(), plainSize, nullptr, 0, false);
    std::vector<char> file(static_cast<std::size_t>(bodySize) + 8);
    gCipher->Encrypt(plain.data(), plainSize, file.data(), bodySize, false);
    const std::uint32_t sum = XorChecksum(bodySize, file.data());
    const unsigned char sumBytes[4] = {
        static_cast<unsigned char>(sum), static_cast<unsigned char>(sum >> 8),
        static_cast<unsigned char>(sum >> 16), static_cast<unsigned char>(sum >> 24)};
    gCipher->Encrypt(sumBytes, 4, file.data() + bodySize, 8, false);
    return file;
}

void Exercise(TQzHiscores& client) {
    client.SetUserField(2, "m");
    client.SetUserField(1, "p");
    const int count = client.GetScoreCount(true);
    char name[16];
    char data[16];
    for (int i = -1; i <= count; ++i) {
        int rank = 0;
        int score = 0;
        BYTE valid = 0;
        client.GetScore(true, i, &rank, name, sizeof name, &valid, &score, data, sizeof data);
    }
    int score = 0;
    int rank = 0;
    client.FindPlayerScore(0, &score, &rank, data, sizeof data);
}

} // namespace

// Runs in a private working folder without a local server library or settings files.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    char pattern[] = "/tmp/stellagrim-fuzz-hiscore-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) {
        std::abort();
    }
    SetSetting("encryptionkey", kKey);
    gClient = new TQzHiscores(false);
    gCipher = new TCipher(str(kKey));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) {
        return 0;
    }
    const int n = static_cast<int>(size);
    gClient->ReadLocalData(data, n);
    Exercise(*gClient);

    const std::vector<char> file = WellFormedFile(reinterpret_cast<const char*>(data), n);
    if (!gClient->ReadLocalData(file.data(), static_cast<int>(file.size()))) {
        std::abort(); // a well-formed file is always read
    }
    Exercise(*gClient);
    const str first = gClient->BuildLocalDocument();
    const std::vector<char> again = WellFormedFile(first.CStr(), first.Length());
    if (!gClient->ReadLocalData(again.data(), static_cast<int>(again.size()))) {
        std::abort();
    }
    const str second = gClient->BuildLocalDocument();
    if (first.Length() != second.Length() ||
        std::memcmp(first.CStr(), second.CStr(), static_cast<std::size_t>(first.Length())) != 0) {
        std::abort(); // what was written does not read back as itself
    }
    gClient->AddLocalScore(static_cast<int>(size) - 100, size % 2 == 0, "g", nullptr);
    Exercise(*gClient);
    return 0;
}
