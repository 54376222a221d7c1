#include "engine/core/prefs.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/core/file.h"
#include "engine/core/filesave.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/core/xml.h"

namespace {

constexpr std::uint32_t kMaxChunkLength = 0x400000;
constexpr int kMaxRecordIndex = TPrefs::kMaxUser + 1;
// A key's length is stored in 16 bits together with its zero byte.
constexpr int kMaxKeyLength = 0xFFFF - 1;

str Lowered(const str& text) {
    str lowered = text;
    lowered.ToLower();
    return lowered;
}

// The text of a byte block up to its first zero byte.
str TextOf(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) {
        return str();
    }
    const void* zero = std::memchr(bytes, 0, size);
    const std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes) : size;
    return str(reinterpret_cast<const char*>(bytes), static_cast<int>(length));
}

std::vector<std::uint8_t> WithZero(const str& text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.CStr());
    std::vector<std::uint8_t> out(bytes, bytes + text.Length());
    out.push_back(0);
    return out;
}

void AppendU16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

unsigned ReadU16(const std::uint8_t* bytes) {
    return static_cast<unsigned>(bytes[0]) | static_cast<unsigned>(bytes[1]) << 8;
}

// atoi as the 32-bit C runtime gives it: out-of-range values stop at the int limits.
int TextToInt(const str& text) {
    const long long value = std::strtoll(text.CStr(), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

// Reads the whole of "install.txt" in the current folder; false when it cannot be opened.
bool ReadInstallText(str& text) {
    TFile* file = FileOpen("::install.txt", kModeReadText);
    if (file == nullptr) {
        return false;
    }
    FileSeek(file, 0, kSeekEnd);
    const long size = FileTell(file);
    FileSeek(file, 0, kSeekStart);
    text = str();
    if (size > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(size));
        const int read = FileRead(file, buffer.data(), static_cast<int>(size));
        text = TextOf(reinterpret_cast<const std::uint8_t*>(buffer.data()),
                      static_cast<std::size_t>(read > 0 ? read : 0));
    }
    FileClose(file);
    return true;
}

// XOR of the bytes, each sign-extended and shifted into its lane of four.
std::uint32_t LegacyChecksum(const str& text) {
    std::uint32_t sum = 0;
    for (int i = 0; i < text.Length(); ++i) {
        const auto widened = static_cast<std::uint32_t>(
            static_cast<std::int32_t>(static_cast<std::int8_t>(text[i])));
        sum ^= widened << ((i % 4) * 8);
    }
    return sum;
}

bool ChecksumMatches(const str& stored, std::uint32_t sum) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(stored.CStr(), &end, 10);
    if (end == stored.CStr() || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        return false;
    }
    return static_cast<std::int32_t>(value) == static_cast<std::int32_t>(sum);
}

// The root element has an empty name, which the reader may fold into the document itself: a
// child of the root is looked for at the top level and one level down.
TXmlNode* FindUnderRoot(TXmlNode& document, const char* name) {
    if (TXmlNode* found = document.FindChild(name)) {
        return found;
    }
    str childName;
    TXmlNode* child = nullptr;
    document.ResetChildren();
    while (document.NextChild(childName, child)) {
        if (TXmlNode* found = child->FindChild(name)) {
            return found;
        }
    }
    return nullptr;
}

void CollectInstalls(TXmlNode& node, std::vector<TXmlNode*>& installs) {
    str name;
    TXmlNode* child = nullptr;
    node.ResetChildren();
    while (node.NextChild(name, child)) {
        if (name == str("install")) {
            installs.push_back(child);
        } else {
            CollectInstalls(*child, installs);
        }
    }
}

} // namespace

TPrefs::TPrefs(bool saveEnabled)
    : mCipher(GetSetting("encryptionkey")), mKeyText(GetSetting("encryptionkey")),
      mSaveEnabled(saveEnabled) {
    if (mKeyText.Length() == 0) {
        Log("ERROR: No encryption key set before TPrefs construction!");
    }
    mFileName = "user:prefs.dat";
    mInstallKey = GetSetting("installkey");
    if (mInstallKey.Length() == 0) {
        mInstallKey = "unknown";
    }
    Load();
}

TPrefs::~TPrefs() = default;

std::vector<TPrefsRecord>& TPrefs::Section(const str& installKey) {
    return mSections[installKey];
}

void TPrefs::SelectCurrent() {
    std::vector<TPrefsRecord>* previous = mCurrent;
    mCurrent = &Section(mInstallKey);
    // An empty section left behind was made only by looking up an install key since replaced;
    // kept, it would be written into the file as an install key of its own.
    if (previous == nullptr || previous == mCurrent || !previous->empty()) {
        return;
    }
    for (auto it = mSections.begin(); it != mSections.end(); ++it) {
        if (&it->second == previous) {
            mSections.erase(it);
            return;
        }
    }
}

int TPrefs::GetUserCount() const {
    if (mCurrent == nullptr || mCurrent->empty()) {
        return 0;
    }
    return static_cast<int>(mCurrent->size()) - 1;
}

str TPrefs::GetString(const str& key, const str& defaultValue, int user) const {
    if (mCurrent == nullptr || user < -1 || user >= static_cast<int>(mCurrent->size()) - 1) {
        return defaultValue;
    }
    const TPrefsRecord& record = (*mCurrent)[static_cast<std::size_t>(user) + 1];
    const auto found = record.find(key);
    if (found == record.end()) {
        return defaultValue;
    }
    // A value of no bytes at all (never written by this store) reads as the empty text.
    return TextOf(found->second.data(), found->second.size());
}

int TPrefs::GetInt(const str& key, int defaultValue, int user) const {
    return TextToInt(GetString(key, str::FromFormat("%d", defaultValue), user));
}

void TPrefs::SetString(const str& key, const str& value, int user, bool save) {
    if (user < -1 || user > kMaxUser) {
        Log("TPrefs: user %d is out of range, \"%s\" not stored", user, key.CStr());
        return;
    }
    // The chunk holds the key's length, the key, the value and two zero bytes.
    const long long plain = 2LL + key.Length() + 1 + value.Length() + 1;
    if (key.Length() > kMaxKeyLength || plain / 8 * 8 + 8 > kMaxChunkLength) {
        Log("TPrefs: key or value too long, \"%.64s\" not stored", key.CStr());
        return;
    }
    const std::size_t index = static_cast<std::size_t>(user) + 1;
    if (mCurrent->size() <= index) {
        mCurrent->resize(index + 1);
    }
    (*mCurrent)[index][key] = WithZero(value);
    if (save) {
        Save();
    }
}

void TPrefs::SetInt(const str& key, int value, int user, bool save) {
    SetString(key, str::FromFormat("%d", value), user, save);
}

void TPrefs::DeleteUser(int user) {
    // A negative user would reach the global record, or before it.
    if (user < 0 || user >= GetUserCount()) {
        return;
    }
    mCurrent->erase(mCurrent->begin() + user + 1);
}

void TPrefs::Load() {
    str installText;
    bool keyFromFile = false;
    if (ReadInstallText(installText)) {
        if (installText.Length() > 0) {
            mInstallKey = installText;
        } else {
            keyFromFile = true;
        }
    }
    mInstallKey.ToLower();
    mCurrent = &Section(mInstallKey);

    TFile* file = FileOpen(mFileName.CStr(), kModeReadBinary);
    if (file == nullptr) {
        if (ReadInstallText(installText) && installText.Length() > 0) {
            mInstallKey = installText;
        }
        SelectCurrent();
        return;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[4096];
    for (int read = 0; (read = FileRead(file, block, sizeof block)) > 0;) {
        bytes.insert(bytes.end(), block, block + read);
    }
    FileClose(file);

    if (bytes.size() >= 2 && bytes[0] == '<' && bytes[1] == '>') {
        ImportXml();
        Save();
        return;
    }
    if (!ReadChunks(bytes, keyFromFile) && mSaveEnabled) {
        // The next save would drop whatever could not be read: the bytes stay for recovery.
        const str kept = mFileName + ".bad";
        if (SaveWholeFile(kept, bytes.data(), static_cast<int>(bytes.size()))) {
            Log("TPrefs: %s is damaged; the players that could be read are kept, the file as it "
                "was is saved as %s",
                mFileName.CStr(), ResolveName(kept, true).CStr());
        } else {
            Log("TPrefs: %s is damaged and could not be saved as %s", mFileName.CStr(),
                kept.CStr());
        }
    }
}

bool TPrefs::ReadChunks(const std::vector<std::uint8_t>& bytes, bool keyFromFile) {
    bool whole = true;
    std::size_t at = 0;
    std::vector<std::uint8_t> payload;
    char tag[4];
    TChunkRead status = ReadChunk(bytes, at, payload, tag);
    if (status == TChunkRead::kEnd) {
        SelectCurrent();
        return at == bytes.size();
    }
    // Without the leading install key the records go to the install key in use.
    str sectionKey = mInstallKey;
    if (status == TChunkRead::kRead && tag[0] == 'I') {
        sectionKey = Lowered(TextOf(payload.data(), payload.size()));
        if (keyFromFile) {
            mInstallKey = sectionKey;
        }
        status = ReadChunk(bytes, at, payload, tag);
    } else if (status == TChunkRead::kRead) {
        whole = false;
    }
    SelectCurrent();
    // Pairs are dropped while the install key or the record they belong to is unknown.
    bool sectionKnown = true;
    bool indexKnown = true;
    std::size_t index = 0;
    // The store writes the records of an install key in rising order; a lower index is damage.
    long lastIndex = -1;
    for (; status != TChunkRead::kEnd; status = ReadChunk(bytes, at, payload, tag)) {
        if (status != TChunkRead::kRead) {
            whole = false;
            // A chunk that may have been a "USER" or "IKEY" one leaves its pairs without a home.
            if (std::memcmp(tag, "IKEY", 4) == 0) {
                sectionKnown = false;
            } else if (std::memcmp(tag, "KVPR", 4) != 0) {
                indexKnown = false;
            }
            if (status == TChunkRead::kLost) {
                // The chunk's bounds are gone: go on at the next chunk header found.
                at = FindChunk(bytes, at + 1);
            }
            continue;
        }
        if (tag[0] == 'I') {
            sectionKey = Lowered(TextOf(payload.data(), payload.size()));
            sectionKnown = true;
            lastIndex = -1;
        } else if (tag[0] == 'U') {
            const long read = payload.size() < 2 ? -1 : static_cast<long>(ReadU16(payload.data()));
            indexKnown = read > lastIndex && read <= kMaxRecordIndex;
            if (!indexKnown) {
                whole = false;
                continue;
            }
            index = static_cast<std::size_t>(read);
            lastIndex = read;
            if (sectionKnown) {
                std::vector<TPrefsRecord>& records = Section(sectionKey);
                if (records.size() < index + 1) {
                    records.resize(index + 1);
                }
            }
        } else {
            const std::size_t keySize = payload.size() < 2 ? SIZE_MAX : ReadU16(payload.data());
            if (keySize == SIZE_MAX || payload.size() < keySize + 2) {
                whole = false;
                continue;
            }
            if (!sectionKnown || !indexKnown) {
                continue;
            }
            const str key = TextOf(payload.data() + 2, keySize);
            std::vector<TPrefsRecord>& records = Section(sectionKey);
            // A file not written by this store may name a record no "USER" chunk made.
            if (records.size() < index + 1) {
                records.resize(index + 1);
            }
            records[index][key].assign(payload.begin() + static_cast<std::ptrdiff_t>(keySize + 2),
                                       payload.end());
        }
    }
    return whole && at == bytes.size();
}

TPrefs::TChunkRead TPrefs::ReadChunk(const std::vector<std::uint8_t>& bytes, std::size_t& at,
                                     std::vector<std::uint8_t>& payload, char (&tag)[4]) {
    if (bytes.size() - at < 8) {
        return TChunkRead::kEnd;
    }
    const std::uint8_t* header = bytes.data() + at;
    std::memcpy(tag, header, 4);
    const std::uint32_t length =
        static_cast<std::uint32_t>(header[4]) | static_cast<std::uint32_t>(header[5]) << 8 |
        static_cast<std::uint32_t>(header[6]) << 16 | static_cast<std::uint32_t>(header[7]) << 24;
    if ((tag[0] != 'I' && tag[0] != 'U' && tag[0] != 'K') || length == 0 ||
        length > kMaxChunkLength || length > bytes.size() - at - 8) {
        return TChunkRead::kLost;
    }
    payload.assign(header + 8, header + 8 + length);
    at += 8 + length;
    if (tag[0] == 'U') {
        return TChunkRead::kRead;
    }
    std::vector<std::uint8_t> plain(length);
    bool ok = false;
    if (mCipher.Decrypt(reinterpret_cast<const char*>(payload.data()), static_cast<int>(length),
                        reinterpret_cast<char*>(plain.data()), static_cast<int>(length), false,
                        &ok) != 0 ||
        !ok) {
        return TChunkRead::kUnreadable;
    }
    const int size = mCipher.GetLastLength();
    if (size <= 0) {
        return TChunkRead::kUnreadable;
    }
    plain.resize(static_cast<std::size_t>(size));
    payload = std::move(plain);
    return TChunkRead::kRead;
}

std::size_t TPrefs::FindChunk(const std::vector<std::uint8_t>& bytes, std::size_t from) {
    static const char* const kTags[] = {"IKEY", "USER", "KVPR"};
    for (std::size_t at = from; at + 8 <= bytes.size(); ++at) {
        for (const char* tag : kTags) {
            if (std::memcmp(bytes.data() + at, tag, 4) != 0) {
                continue;
            }
            std::size_t probe = at;
            std::vector<std::uint8_t> payload;
            char found[4];
            if (ReadChunk(bytes, probe, payload, found) != TChunkRead::kLost) {
                return at;
            }
        }
    }
    return bytes.size();
}

void TPrefs::AppendEnciphered(std::vector<std::uint8_t>& out, const char* tag,
                              const std::vector<std::uint8_t>& plain) {
    const int size = static_cast<int>(plain.size());
    const int length = mCipher.Encrypt(plain.data(), size, nullptr, 0, false);
    out.insert(out.end(), tag, tag + 4);
    AppendU32(out, static_cast<std::uint32_t>(length));
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(length));
    mCipher.Encrypt(plain.data(), size, reinterpret_cast<char*>(out.data() + at), length, false);
}

int TPrefs::Save() {
    if (!mSaveEnabled) {
        return 0;
    }
    std::vector<std::uint8_t> bytes;
    AppendEnciphered(bytes, "IKEY", WithZero(mInstallKey));
    for (const auto& [installKey, records] : mSections) {
        // The leading chunk already names the current install key; without records it needs no
        // chunk of its own.
        if (&records == mCurrent && records.empty()) {
            continue;
        }
        AppendEnciphered(bytes, "IKEY", WithZero(installKey));
        for (std::size_t i = 0; i < records.size(); ++i) {
            bytes.insert(bytes.end(), {'U', 'S', 'E', 'R'});
            AppendU32(bytes, 2);
            AppendU16(bytes, static_cast<unsigned>(i));
            for (const auto& [key, value] : records[i]) {
                std::vector<std::uint8_t> plain;
                AppendU16(plain, static_cast<unsigned>(key.Length() + 1));
                const std::vector<std::uint8_t> keyBytes = WithZero(key);
                plain.insert(plain.end(), keyBytes.begin(), keyBytes.end());
                plain.insert(plain.end(), value.begin(), value.end());
                AppendEnciphered(bytes, "KVPR", plain);
            }
        }
    }

    SaveWholeFile(mFileName, bytes.data(), static_cast<int>(bytes.size()));
    return 0;
}

void TPrefs::ImportXml() {
    TXmlNode prefsXml;
    if (mKeyText.Length() > 0) {
        TXmlNode document;
        document.LoadFile(mFileName.CStr());
        TXmlNode* data1 = FindUnderRoot(document, "data1");
        TXmlNode* data2 = FindUnderRoot(document, "data2");
        if (data1 != nullptr && data2 != nullptr) {
            const str text = mCipher.DecryptString(data1->GetAttribute("data"));
            if (ChecksumMatches(data2->GetAttribute("data"), LegacyChecksum(text))) {
                prefsXml.Parse(text.CStr(), static_cast<std::size_t>(text.Length()));
            }
        }
    } else {
        prefsXml.LoadFile(mFileName.CStr());
    }

    std::vector<TXmlNode*> installs;
    CollectInstalls(prefsXml, installs);

    str installText;
    if (ReadInstallText(installText)) {
        if (installText.Length() > 0) {
            mInstallKey = Lowered(installText);
        } else if (!installs.empty()) {
            mInstallKey = Lowered(installs.front()->GetAttribute("qzinstallkey"));
        }
    }
    for (TXmlNode* install : installs) {
        ImportInstall(*install);
    }
    mCurrent = &Section(mInstallKey);
}

void TPrefs::ImportInstall(TXmlNode& install) {
    std::vector<TPrefsRecord>& records = Section(Lowered(install.GetAttribute("qzinstallkey")));
    str name;
    TXmlNode* element = nullptr;
    std::size_t index = 0;
    install.ResetChildren();
    while (install.NextChild(name, element) && index <= kMaxRecordIndex) {
        if (records.size() < index + 1) {
            records.resize(index + 1);
        }
        str key;
        str value;
        element->ResetAttributes();
        while (element->NextAttribute(key, value)) {
            records[index][key] = WithZero(value);
        }
        ++index;
    }
}
