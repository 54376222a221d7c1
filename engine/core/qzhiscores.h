// The engine's hiscore client: one local score table per game mode (at most 500 rows, ranked by
// score) kept enciphered in "user:hiscore.dat", and the binding of the optional local hiscore
// server library "qzservlet_stub.dll", which it configures once and frees on destruction. It also
// holds the connection settings of an online hiscore service, to which it sends no requests.
// The game's user manager owns the one client. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/str.h"
#include "platform/win32/wintypes.h"

class TCipher;
class TSimpleHttp;
class TXmlNode;

struct TScoreRow {
    int32_t rank = 0;
    int32_t score = 0;
    str name;
    str gameData;
    str serverData;
    str version;
    uint8_t valid = 1;
    uint8_t submitted = 0;
    str guid; // 32 lower-case hexadecimal digits
};

struct TScoreTable {
    str name; // the game mode
    std::vector<TScoreRow> rows;
};

struct TMedalEntry {
    str medalname;
    str type;
    str mode;
    str gameData;
    uint8_t submitted = 0;
};

struct TAccountEntry {
    str player;
    str name;
    str pass;
};

// The client's whole state; owned by TQzHiscores.
struct THiscoreConnection {
    explicit THiscoreConnection(const str& keyText, bool saveEnabled);
    ~THiscoreConnection();
    THiscoreConnection(const THiscoreConnection&) = delete;
    THiscoreConnection& operator=(const THiscoreConnection&) = delete;

    str gameHandle;
    str key;
    str language;
    str version;
    str player;
    str playerExtra; // emptied with every new player; nothing reads it
    str gameMode;
    std::unique_ptr<TSimpleHttp> http; // never sends: the online service is not used
    std::vector<str> categories;       // online table descriptions; always empty
    str serverAddress;
    TScoreTable online; // the last online list; always empty
    int32_t playerIndex = -1;
    std::map<str, std::unique_ptr<TScoreTable>> tables;
    std::map<str, std::vector<TMedalEntry>> medals;
    std::map<str, std::unique_ptr<TAccountEntry>> accounts;
    bool languageFixed = false;
    str defaultError;
    std::unique_ptr<TCipher> cipher;
    bool saveEnabled;
    // A file was found but did not load; before it is overwritten it is kept aside.
    bool keepDamagedFile = false;
    HMODULE library = nullptr;
    void* server = nullptr; // owned by the library
};

class TQzHiscores {
public:
    // Rows a local table holds at most.
    static constexpr int kMaxRows = 500;

    // Reads the local file, binds the local server library and reads "hiscore.xml" and
    // "hiscoreserver.txt". With saveEnabled false nothing is ever written.
    explicit TQzHiscores(bool saveEnabled);
    // Frees the local server and unloads its library; does not save.
    ~TQzHiscores();
    TQzHiscores(const TQzHiscores&) = delete;
    TQzHiscores& operator=(const TQzHiscores&) = delete;

    // 0 language (unless "hiscore.xml" fixed it), 1 player, 2 game mode; others do nothing.
    void SetUserField(int which, const str& value);
    // Inserts the score for the current player in the table of the current game mode and saves.
    // gameData and serverData may be null.
    void AddLocalScore(int score, bool replaceOwn, const char* gameData, const char* serverData);
    // Rows of the current game mode's table (local) or of the online list.
    int GetScoreCount(bool local) const;
    // False, writing nothing, without such a row. Every non-null output is filled; a text buffer
    // of size n receives at most n - 1 bytes and a zero; a size below 1 receives nothing.
    bool GetScore(bool local, int index, int* rank, char* name, int nameSize, BYTE* valid,
                  int* score, char* gameData, int gameDataSize) const;
    // which 0: the current player's first unsubmitted row in the local table; 1: the online list.
    bool FindPlayerScore(int which, int* score, int* rank, char* gameData, int gameDataSize) const;
    // Removes the current game mode's table and saves.
    void ClearLocalScores();

    // What loading does with the bytes of "user:hiscore.dat": the tables, medals and accounts
    // are replaced by the file's; false (and nothing loaded) when the bytes are short or their
    // checksum does not match.
    bool ReadLocalData(const void* data, int size);
    // The plain document text the next save would encipher.
    str BuildLocalDocument() const;

private:
    void LoadLocal();
    void SaveLocal();
    void InsertLocalScore(int score, bool replaceOwn, const char* gameData, const char* serverData);
    bool FindLocalPlayerScore(int* score, int* rank, char* gameData, int gameDataSize) const;
    bool FindOnlinePlayerScore(int* score, int* rank, char* gameData, int gameDataSize) const;
    void ParseDocument(TXmlNode& node);
    void ParseScores(TXmlNode& scoreElement);
    void BindLocalServer();
    void ReadConfig();
    void ReadServerAddress();
    const TScoreTable* CurrentTable() const;

    std::unique_ptr<THiscoreConnection> mConnection;
};

// The 32-bit XOR checksum: byte i is XORed into byte i mod 4 of the result (least significant
// first).
uint32_t XorChecksum(int length, const void* data);
