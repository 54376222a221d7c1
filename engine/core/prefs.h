// The user's preferences: a global record and one record per user profile, each a map of text
// keys to text values, kept per install key and stored enciphered in "user:prefs.dat". Every
// TPrefs loads the whole file when made and rewrites it on each saving setter, so short-lived
// objects may coexist; the last writer wins. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "engine/core/cipher.h"
#include "engine/core/str.h"

class TXmlNode;

// Key to value bytes (the value text and its zero byte).
using TPrefsRecord = std::map<str, std::vector<std::uint8_t>>;

class TPrefs {
public:
    // Keyed by the setting "encryptionkey"; the install key comes from "install.txt" in the
    // current folder, else the setting "installkey", else "unknown". Loads the file.
    explicit TPrefs(bool saveEnabled);
    // Does not save.
    ~TPrefs();
    TPrefs(const TPrefs&) = delete;
    TPrefs& operator=(const TPrefs&) = delete;

    // Users of the current install key, the global record not counted.
    int GetUserCount() const;
    // user -1 is the global record. The default when the record or the key does not exist.
    str GetString(const str& key, const str& defaultValue, int user) const;
    int GetInt(const str& key, int defaultValue, int user) const;
    // Grows the record list to hold the user when needed; with save, rewrites the file. A user
    // below -1 or beyond the last index the file can hold (kMaxUser) is refused, as are a key or
    // value too long for one chunk; refusals are logged.
    void SetString(const str& key, const str& value, int user, bool save);
    void SetInt(const str& key, int value, int user, bool save);
    // Removes user (0 .. GetUserCount() - 1); later users move down. Does not save.
    void DeleteUser(int user);
    // Writes the whole store (unless saving is disabled); returns 0.
    int Save();

    // The reader stops at a record index above 1024, so user 1023 is the last one kept.
    static constexpr int kMaxUser = 1023;

private:
    enum class TChunkRead {
        kRead,
        kEnd,        // fewer than a header's bytes left
        kLost,       // the header is damaged: where the next chunk starts is unknown
        kUnreadable, // the payload does not decipher; the next chunk follows it
    };

    void Load();
    // Reads the chunks into the store, going on past damaged ones; false when anything was lost.
    bool ReadChunks(const std::vector<std::uint8_t>& bytes, bool keyFromFile);
    // Reads the chunk at `at` and moves past it unless its header is damaged.
    TChunkRead ReadChunk(const std::vector<std::uint8_t>& bytes, std::size_t& at,
                         std::vector<std::uint8_t>& payload, char (&tag)[4]);
    // The offset of the next well-formed chunk header from `from` on, else the end.
    std::size_t FindChunk(const std::vector<std::uint8_t>& bytes, std::size_t from);
    void ImportXml();
    void ImportInstall(TXmlNode& install);
    std::vector<TPrefsRecord>& Section(const str& installKey);
    // Makes the section of mInstallKey current.
    void SelectCurrent();
    void AppendEnciphered(std::vector<std::uint8_t>& out, const char* tag,
                          const std::vector<std::uint8_t>& plain);

    TCipher mCipher;
    // Install key to records: [0] global, [i + 1] user i.
    std::map<str, std::vector<TPrefsRecord>> mSections;
    std::vector<TPrefsRecord>* mCurrent = nullptr; // points into mSections
    str mKeyText;
    str mFileName;
    str mInstallKey;
    bool mSaveEnabled;
};
