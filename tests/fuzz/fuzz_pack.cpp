// Mounts arbitrary bytes as a pack file and reads every entry the mount accepted, in binary and
// text mode, with seeks and ungets around the ends.
#include "engine/core/file.h"
#include "engine/core/flatfilemap.h"
#include "engine/core/knownfiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The pack lives at assets/fuzz.qzp below a private working folder, entered before the corpus
// is read; give the corpus folder as an absolute path.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    char pattern[] = "/tmp/stellagrim-fuzz-pack-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0 || mkdir("assets", 0777) != 0) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* out = std::fopen("assets/fuzz.qzp", "wb");
    if (out == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, out);
    std::fclose(out);

    ClearKnownFiles();
    TKnownFileMap& map = KnownFiles();
    MountPackFile(str("::assets/fuzz.qzp"), map);

    std::vector<str> keys;
    for (const auto& [key, known] : map) {
        keys.push_back(key);
    }
    std::vector<unsigned char> buffer(4096);
    for (const str& key : keys) {
        for (int mode = 0; mode < 3; ++mode) {
            TFile* file = FileOpen(key.CStr(), mode);
            if (file == nullptr) {
                continue;
            }
            const int total = file->GetSize();
            while (FileRead(file, buffer.data(), static_cast<int>(buffer.size())) > 0) {
            }
            FileUngetc(file);
            FileSeek(file, -1, kSeekEnd);
            FileGetc(file);
            FileSeek(file, total + 10, kSeekStart);
            FileSeek(file, -total - 10, kSeekCurrent);
            FileUngetc(file);
            char line[64];
            FileSeek(file, 0, kSeekStart);
            while (FileGets(file, line, sizeof line) != nullptr) {
            }
            FileClose(file);
        }
    }
    return 0;
}
