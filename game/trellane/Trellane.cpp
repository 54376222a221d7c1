// The library "Trellane.dll": the level-data saver of the game's position editor. The level file
// is Lua text, one line per object written, in the order written:
//     positions['<name>'] = { x = <x>, y = <y> }
// with the name as an escaped Lua literal. It is written to a temporary file beside it and
// renamed over the old one, so a failed write leaves the old file whole. Paths come in the
// engine's form and are turned into disk paths here.
#include "game/common/LuaQuote.h"
#include "game/trellane/GTrellane.h"
#include "platform/win32/pathconv.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <sys/stat.h>

namespace {

class GTrellaneWriter final : public GTrellane {
public:
    void Release() override { delete this; }

    int Write(const char* objectName, int x, int y) override {
        if (!mOpen || objectName == nullptr) {
            return 0;
        }
        AppendLuaQuoted(mText.append("positions["), objectName, std::strlen(objectName));
        mText += "] = { x = " + std::to_string(x) + ", y = " + std::to_string(y) + " }\n";
        return 1;
    }

    // Refused when the level file's folder does not exist: nothing could be saved there.
    int Open(const char* levelFile, const char* /*variablesFile*/) override {
        if (levelFile == nullptr || levelFile[0] == '\0') {
            return 0;
        }
        const std::string path = standin::ToPosixPath(levelFile);
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        struct stat info {};
        if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            return 0;
        }
        mText.clear();
        mOpen = true;
        return 1;
    }

    int Close(const char* levelFile) override {
        if (!mOpen || levelFile == nullptr || levelFile[0] == '\0') {
            return 0;
        }
        mOpen = false;
        const std::string path = standin::ToPosixPath(levelFile);
        const std::string temporary = path + ".tmp";
        std::FILE* file = std::fopen(temporary.c_str(), "wb");
        if (file == nullptr) {
            return 0;
        }
        const bool written = std::fwrite(mText.data(), 1, mText.size(), file) == mText.size();
        if (std::fclose(file) != 0 || !written ||
            std::rename(temporary.c_str(), path.c_str()) != 0) {
            std::remove(temporary.c_str());
            return 0;
        }
        return 1;
    }

private:
    ~GTrellaneWriter() = default;

    std::string mText;
    bool mOpen = false;
};

} // namespace

extern "C" __attribute__((visibility("default"))) GTrellane* CreateTrellane() {
    return new (std::nothrow) GTrellaneWriter;
}
