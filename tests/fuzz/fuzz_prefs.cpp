// Feeds arbitrary bytes to the preferences reader as "user:prefs.dat": as they are when the first
// byte is even, else as a list of chunks whose payloads are enciphered here, so that the reader
// gets past the cipher. The store is then saved and read back twice; the second and third
// writings must be equal.
#include "engine/core/cipher.h"
#include "engine/core/knownfiles.h"
#include "engine/core/prefs.h"
#include "engine/core/settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char kKey[] = "Pq4rT7yU1iOz";
const char* const kTags[] = {"IKEY", "USER", "KVPR"};

TCipher* gCipher = nullptr;

void AppendChunk(std::string& out, const std::string& tag, const std::string& plain) {
    std::string payload = plain;
    if (tag[0] != 'U') {
        const int n = static_cast<int>(plain.size());
        payload.resize(
            static_cast<std::size_t>(gCipher->Encrypt(plain.data(), n, nullptr, 0, false)));
        gCipher->Encrypt(plain.data(), n, payload.data(), static_cast<int>(payload.size()), false);
    }
    out += tag;
    const auto length = static_cast<std::uint32_t>(payload.size());
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>(length >> shift);
    }
    out += payload;
}

// Each chunk: a selector byte (its low two bits pick IKEY, USER, KVPR or four literal tag bytes
// that follow), a length byte, then that many payload bytes.
std::string Chunks(const uint8_t* data, size_t size) {
    std::string out;
    size_t at = 1;
    while (at + 2 <= size) {
        const uint8_t selector = data[at++];
        std::string tag;
        if ((selector & 3) == 3) {
            if (at + 4 > size) {
                break;
            }
            tag.assign(reinterpret_cast<const char*>(data + at), 4);
            at += 4;
        } else {
            tag = kTags[selector & 3];
        }
        if (at >= size) {
            break;
        }
        const size_t wanted = data[at];
        ++at;
        const size_t length = std::min(wanted, size - at);
        AppendChunk(out, tag, std::string(reinterpret_cast<const char*>(data + at), length));
        at += length;
    }
    return out;
}

bool WriteFile(const std::string& bytes) {
    std::FILE* out = std::fopen("user/prefs.dat", "wb");
    if (out == nullptr) {
        return false;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return true;
}

std::string ReadFile() {
    std::string bytes;
    std::FILE* in = std::fopen("user/prefs.dat", "rb");
    if (in == nullptr) {
        return bytes;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        bytes.append(buffer, n);
    }
    std::fclose(in);
    return bytes;
}

} // namespace

// The user folder lies below a private working folder (which holds no install.txt).
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    char pattern[] = "/tmp/stellagrim-fuzz-prefs-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0 || mkdir("user", 0777) != 0) {
        std::abort();
    }
    SetFolderRoots(str((std::string(pattern) + "/user").c_str()), str(), str());
    SetSetting("encryptionkey", kKey);
    gCipher = new TCipher(str(kKey));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 1 << 20) {
        return 0;
    }
    const std::string bytes = data[0] % 2 == 0
                                  ? std::string(reinterpret_cast<const char*>(data), size)
                                  : Chunks(data, size);
    if (!WriteFile(bytes)) {
        return 0;
    }
    {
        TPrefs prefs(true);
        const int users = prefs.GetUserCount();
        for (int user = -1; user <= users && user < 4; ++user) {
            prefs.GetString("name", "none", user);
            prefs.GetInt("soundlevel", 5, user);
        }
        prefs.Save();
    }
    std::string writings[2];
    for (std::string& writing : writings) {
        TPrefs prefs(true);
        prefs.Save();
        writing = ReadFile();
    }
    if (writings[0] != writings[1]) {
        std::abort(); // a saved store does not read back as itself
    }
    return 0;
}
