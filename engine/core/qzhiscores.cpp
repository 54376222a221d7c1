#include "engine/core/qzhiscores.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "engine/core/cipher.h"
#include "engine/core/file.h"
#include "engine/core/filesave.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/core/simplehttp.h"
#include "engine/core/xml.h"
#include "platform/win32/crtio.h"
#include "platform/win32/libloader.h"

namespace {

const char kFileName[] = "user:hiscore.dat";
const char kDamagedFileName[] = "user:hiscore.dat.bad";
const char kServerLibrary[] = "qzservlet_stub.dll";
const char kDefaultServerAddress[] = "http://hiscores.invalid/qzhiscores/";
constexpr int kTrailerSize = 8;
constexpr int kServerLineSize = 512;

using TCreateLocalServer = void* (*)();
using TSetServerInfo = void (*)(void* server, const char* gameHandle, const char* key,
                                const char** modeNames, int modeCount, const char** medalNames,
                                int medalCount);
using TLoadServerDefFile = void (*)(void* server);
using TFreeLocalServer = void (*)(void* server);

template <typename TFunction>
TFunction Export(HMODULE library, const char* name) {
    return reinterpret_cast<TFunction>(GetProcAddress(library, name));
}

// atoi with the result held to the int range.
int AttributeToInt(const str& text) {
    const long long value = std::strtoll(text.CStr(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Copies at most size - 1 bytes and a zero; a buffer of no room receives nothing.
void CopyText(char* out, int size, const str& text) {
    if (out == nullptr || size < 1) {
        return;
    }
    const int n = std::min(text.Length(), size - 1);
    std::memcpy(out, text.CStr(), static_cast<size_t>(n));
    out[n] = '\0';
}

// A damaged end tag nests the next element inside the one before it; such nested elements are
// still read, in document order.
void CollectNamed(TXmlNode& parent, const char* name, std::vector<TXmlNode*>& found) {
    str childName;
    TXmlNode* child = nullptr;
    parent.ResetChildren();
    while (parent.NextChild(childName, child)) {
        if (std::strcmp(childName.CStr(), name) == 0) {
            found.push_back(child);
            CollectNamed(*child, name, found);
        }
    }
}

void ReRank(std::vector<TScoreRow>& rows) {
    int32_t rank = 1;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0 || rows[i].score != rows[i - 1].score) {
            rank = static_cast<int32_t>(i + 1);
        }
        rows[i].rank = rank;
    }
}

} // namespace

uint32_t XorChecksum(int length, const void* data) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint32_t sum = 0;
    for (int i = 0; i < length; ++i) {
        sum ^= static_cast<uint32_t>(bytes[i]) << ((i % 4) * 8);
    }
    return sum;
}

THiscoreConnection::THiscoreConnection(const str& keyText, bool save)
    : key(keyText), http(std::make_unique<TSimpleHttp>()), serverAddress(kDefaultServerAddress),
      cipher(std::make_unique<TCipher>(keyText)), saveEnabled(save) {}

THiscoreConnection::~THiscoreConnection() {
    cipher.reset();
    tables.clear();
    medals.clear();
    accounts.clear();
    http.reset();
    if (library != nullptr) {
        if (server != nullptr) {
            if (auto freeServer =
                    Export<TFreeLocalServer>(library, "HiscoreServer_FreeLocalServer")) {
                freeServer(server);
            }
            server = nullptr;
        }
        FreeLibrary(library);
        library = nullptr;
    }
}

TQzHiscores::TQzHiscores(bool saveEnabled) {
    const str key = GetSetting("encryptionkey");
    if (key.Length() == 0) {
        Log("ERROR: No encryption key set before TQzHiscores construction!");
    }
    mConnection = std::make_unique<THiscoreConnection>(key, saveEnabled);
    THiscoreConnection& c = *mConnection;
    c.gameHandle = GetSetting("qzgamehandle");
    if (c.gameHandle.Length() == 0) {
        c.gameHandle = GetSetting("gamename");
    }
    c.version = GetSetting("version");
    c.language = "en";
    LoadLocal();
    BindLocalServer();
    ReadConfig();
    ReadServerAddress();
}

TQzHiscores::~TQzHiscores() {
    mConnection->online.rows.clear();
    mConnection->playerIndex = -1;
    mConnection->categories.clear();
}

void TQzHiscores::SetUserField(int which, const str& value) {
    THiscoreConnection& c = *mConnection;
    switch (which) {
    case 0:
        if (!c.languageFixed) {
            c.language = value;
        }
        break;
    case 1:
        c.player = value;
        c.playerExtra = str();
        break;
    case 2:
        c.gameMode = value;
        break;
    default:
        break;
    }
}

void TQzHiscores::AddLocalScore(int score, bool replaceOwn, const char* gameData,
                                const char* serverData) {
    InsertLocalScore(score, replaceOwn, gameData, serverData);
}

const TScoreTable* TQzHiscores::CurrentTable() const {
    const auto found = mConnection->tables.find(mConnection->gameMode);
    return found == mConnection->tables.end() ? nullptr : found->second.get();
}

int TQzHiscores::GetScoreCount(bool local) const {
    const TScoreTable* table = local ? CurrentTable() : &mConnection->online;
    return table == nullptr ? 0 : static_cast<int>(table->rows.size());
}

bool TQzHiscores::GetScore(bool local, int index, int* rank, char* name, int nameSize, BYTE* valid,
                           int* score, char* gameData, int gameDataSize) const {
    const TScoreTable* table = local ? CurrentTable() : &mConnection->online;
    if (table == nullptr || index < 0 || static_cast<size_t>(index) >= table->rows.size()) {
        return false;
    }
    const TScoreRow& row = table->rows[static_cast<size_t>(index)];
    if (rank != nullptr) {
        *rank = row.rank;
    }
    CopyText(name, nameSize, row.name);
    if (valid != nullptr) {
        *valid = row.valid;
    }
    if (score != nullptr) {
        *score = row.score;
    }
    CopyText(gameData, gameDataSize, row.gameData);
    return true;
}

bool TQzHiscores::FindPlayerScore(int which, int* score, int* rank, char* gameData,
                                  int gameDataSize) const {
    if (which == 0) {
        return FindLocalPlayerScore(score, rank, gameData, gameDataSize);
    }
    if (which == 1) {
        return FindOnlinePlayerScore(score, rank, gameData, gameDataSize);
    }
    return false;
}

bool TQzHiscores::FindLocalPlayerScore(int* score, int* rank, char* gameData,
                                       int gameDataSize) const {
    const TScoreTable* table = CurrentTable();
    if (table == nullptr) {
        return false;
    }
    for (const TScoreRow& row : table->rows) {
        if (row.name == mConnection->player && row.submitted == 0) {
            if (score != nullptr) {
                *score = row.score;
            }
            if (rank != nullptr) {
                *rank = row.rank;
            }
            CopyText(gameData, gameDataSize, row.gameData);
            return true;
        }
    }
    return false;
}

bool TQzHiscores::FindOnlinePlayerScore(int* score, int* rank, char* gameData,
                                        int gameDataSize) const {
    const THiscoreConnection& c = *mConnection;
    if (c.playerIndex < 0 || static_cast<size_t>(c.playerIndex) >= c.online.rows.size()) {
        return false;
    }
    const TScoreRow& row = c.online.rows[static_cast<size_t>(c.playerIndex)];
    if (score != nullptr) {
        *score = row.score;
    }
    if (rank != nullptr) {
        *rank = row.rank;
    }
    CopyText(gameData, gameDataSize, row.gameData);
    return true;
}

void TQzHiscores::ClearLocalScores() {
    mConnection->tables.erase(mConnection->gameMode);
    SaveLocal();
}

void TQzHiscores::InsertLocalScore(int score, bool replaceOwn, const char* gameData,
                                   const char* serverData) {
    THiscoreConnection& c = *mConnection;
    TScoreRow fresh;
    fresh.score = score;
    fresh.name = c.player;
    fresh.gameData = gameData != nullptr ? str(gameData) : str();
    fresh.serverData = serverData != nullptr ? str(serverData) : str();
    fresh.version = c.version;
    fresh.valid = 1;
    fresh.submitted = 0;
    fresh.guid = NewGuidText();

    auto found = c.tables.find(c.gameMode);
    if (found == c.tables.end()) {
        auto table = std::make_unique<TScoreTable>();
        table->name = c.gameMode;
        fresh.rank = 1;
        table->rows.push_back(fresh);
        c.tables[c.gameMode] = std::move(table);
        SaveLocal();
        return;
    }
    std::vector<TScoreRow>& rows = found->second->rows;

    if (replaceOwn) {
        const auto own = std::find_if(rows.begin(), rows.end(),
                                      [&](const TScoreRow& row) { return row.name == c.player; });
        if (own != rows.end()) {
            if (own->score >= score) {
                SaveLocal();
                return;
            }
            fresh.guid = own->guid;
            rows.erase(own);
        }
    }

    const size_t capacity = std::min(rows.size() + 1, static_cast<size_t>(TQzHiscores::kMaxRows));
    std::vector<TScoreRow> ranked;
    ranked.reserve(capacity);
    size_t next = 0;
    while (next < rows.size() && rows[next].score >= score && ranked.size() < capacity) {
        ranked.push_back(std::move(rows[next++]));
    }
    if (ranked.size() < capacity) {
        ranked.push_back(std::move(fresh));
    }
    while (next < rows.size() && ranked.size() < capacity) {
        ranked.push_back(std::move(rows[next++]));
    }
    ReRank(ranked);
    rows = std::move(ranked);
    SaveLocal();
}

void TQzHiscores::LoadLocal() {
    TFile* file = FileOpen(kFileName, kModeReadBinary);
    if (file == nullptr) {
        return;
    }
    const int size = file->GetSize();
    std::vector<char> bytes(static_cast<size_t>(std::max(size, 0)));
    const int read = size > 0 ? FileRead(file, bytes.data(), size) : 0;
    FileClose(file);
    if (read > 0 && !ReadLocalData(bytes.data(), read)) {
        mConnection->keepDamagedFile = true;
    }
}

bool TQzHiscores::ReadLocalData(const void* data, int size) {
    THiscoreConnection& c = *mConnection;
    c.tables.clear();
    c.medals.clear();
    c.accounts.clear();
    if (data == nullptr || size <= kTrailerSize) {
        return false;
    }
    const char* bytes = static_cast<const char*>(data);
    const int bodySize = size - kTrailerSize;
    const uint32_t sum = XorChecksum(bodySize, bytes);

    char trailer[kTrailerSize];
    bool matched = false;
    if (c.cipher->Decrypt(bytes + bodySize, kTrailerSize, trailer, kTrailerSize, false) == 0 &&
        c.cipher->GetLastLength() >= 4) {
        const auto* t = reinterpret_cast<const uint8_t*>(trailer);
        matched = (static_cast<uint32_t>(t[0]) | static_cast<uint32_t>(t[1]) << 8 |
                   static_cast<uint32_t>(t[2]) << 16 | static_cast<uint32_t>(t[3]) << 24) == sum;
    }
    if (!matched) {
        Log("HiScores: Checksum did not match! Ignoring saved score data.\n");
        return false;
    }

    // Only whole blocks decipher. A block of pure padding is added behind them, so that the
    // cipher's padding rule strips that block alone and a damaged last block costs only itself.
    const int blocks = bodySize / 8 * 8;
    if (blocks == 0) {
        return true;
    }
    char padBlock[8];
    c.cipher->Encrypt(nullptr, 0, padBlock, sizeof padBlock, false);
    std::vector<char> cipherText(bytes, bytes + blocks);
    cipherText.insert(cipherText.end(), padBlock, padBlock + sizeof padBlock);
    std::vector<char> plain(cipherText.size());
    if (c.cipher->Decrypt(cipherText.data(), static_cast<int>(cipherText.size()), plain.data(),
                          static_cast<int>(plain.size()), false) != 0) {
        return true;
    }
    int length = std::min(c.cipher->GetLastLength(), blocks);
    const int pad = length > 0 ? static_cast<uint8_t>(plain[static_cast<size_t>(length) - 1]) : 0;
    if (pad >= 1 && pad <= 8 && pad <= length &&
        std::all_of(plain.begin() + (length - pad), plain.begin() + length,
                    [pad](char b) { return static_cast<uint8_t>(b) == pad; })) {
        length -= pad;
    }
    // The document ends with its terminating zero; the text is read by its length, so a zero
    // inside a damaged block does not end it early.
    while (length > 0 && plain[static_cast<size_t>(length) - 1] == '\0') {
        --length;
    }
    TXmlNode document;
    document.Parse(plain.data(), static_cast<size_t>(length));
    ParseDocument(document);
    return true;
}

void TQzHiscores::ParseDocument(TXmlNode& node) {
    THiscoreConnection& c = *mConnection;
    std::vector<std::pair<str, TXmlNode*>> children;
    str childName;
    TXmlNode* child = nullptr;
    node.ResetChildren();
    while (node.NextChild(childName, child)) {
        children.emplace_back(childName, child);
    }
    for (const auto& [name, element] : children) {
        if (name == str("user")) {
            auto account = std::make_unique<TAccountEntry>();
            account->player = element->GetAttribute("player");
            account->name = element->GetAttribute("name");
            account->pass = element->GetAttribute("pass");
            const str player = account->player;
            c.accounts[player] = std::move(account);
        } else if (name == str("score")) {
            ParseScores(*element);
        } else if (name == str("medals")) {
            const str user = element->GetAttribute("user");
            if (user.Length() > 0) {
                std::vector<TXmlNode*> found;
                CollectNamed(*element, "medal", found);
                std::vector<TMedalEntry> list;
                for (TXmlNode* medal : found) {
                    TMedalEntry entry;
                    entry.medalname = medal->GetAttribute("medalname");
                    entry.type = medal->GetAttribute("type");
                    entry.mode = medal->GetAttribute("mode");
                    entry.gameData = medal->GetAttribute("gameData");
                    entry.submitted = AttributeToInt(medal->GetAttribute("submit")) > 0 ? 1 : 0;
                    list.push_back(std::move(entry));
                }
                c.medals[user] = std::move(list);
            }
        }
        // The writer never nests these elements; a damaged end tag may, and what follows it is
        // still read.
        ParseDocument(*element);
    }
}

void TQzHiscores::ParseScores(TXmlNode& scoreElement) {
    std::vector<TXmlNode*> found;
    CollectNamed(scoreElement, "row", found);
    if (found.empty()) {
        return;
    }
    auto table = std::make_unique<TScoreTable>();
    table->name = scoreElement.GetAttribute("name");
    for (TXmlNode* element : found) {
        TScoreRow row;
        row.rank = AttributeToInt(element->GetAttribute("rank"));
        row.score = AttributeToInt(element->GetAttribute("score"));
        row.submitted = AttributeToInt(element->GetAttribute("submit")) > 0 ? 1 : 0;
        row.guid = element->GetAttribute("guid");
        row.name = element->GetAttribute("name");
        row.gameData = element->GetAttribute("gameData");
        row.serverData = element->GetAttribute("serverData");
        row.version = element->GetAttribute("version");
        row.valid = 1;
        table->rows.push_back(std::move(row));
    }
    const str tableName = table->name;
    mConnection->tables[tableName] = std::move(table);
}

str TQzHiscores::BuildLocalDocument() const {
    const THiscoreConnection& c = *mConnection;
    str out("<?xml version=\"1.0\"?>\n");
    int length = out.Length();
    for (const auto& [player, account] : c.accounts) {
        TXmlNode user("user");
        user.SetAttribute("player", account->player.CStr());
        user.SetAttribute("name", account->name.CStr());
        user.SetAttribute("pass", account->pass.CStr());
        user.Write(out, length, 0);
    }
    for (const auto& [tableName, table] : c.tables) {
        TXmlNode element("score");
        element.SetAttribute("name", tableName.CStr());
        for (const TScoreRow& row : table->rows) {
            TXmlNode* child = element.AddChild("row");
            child->SetAttribute("rank", row.rank);
            child->SetAttribute("score", row.score);
            child->SetAttribute("submit", row.submitted != 0 ? 1 : 0);
            const std::pair<const char*, const str*> texts[] = {
                {"guid", &row.guid},         {"name", &row.name},
                {"gameData", &row.gameData}, {"serverData", &row.serverData},
                {"version", &row.version},
            };
            for (const auto& [attribute, value] : texts) {
                if (value->Length() > 0) {
                    child->SetAttribute(attribute, value->CStr());
                }
            }
        }
        element.Write(out, length, 0);
    }
    for (const auto& [user, list] : c.medals) {
        TXmlNode element("medals");
        element.SetAttribute("user", user.CStr());
        for (const TMedalEntry& entry : list) {
            TXmlNode* child = element.AddChild("medal");
            child->SetAttribute("medalname", entry.medalname.CStr());
            child->SetAttribute("type", entry.type.CStr());
            child->SetAttribute("mode", entry.mode.CStr());
            child->SetAttribute("gameData", entry.gameData.CStr());
            child->SetAttribute("submit", entry.submitted != 0 ? 1 : 0);
        }
        element.Write(out, length, 0);
    }
    return out;
}

void TQzHiscores::SaveLocal() {
    THiscoreConnection& c = *mConnection;
    if (!c.saveEnabled) {
        return;
    }
    const str document = BuildLocalDocument();
    const int plainSize = document.Length() + 1;
    const int bodySize = c.cipher->Encrypt(document.CStr(), plainSize, nullptr, 0, false);
    if (bodySize <= 0) {
        return;
    }
    std::vector<char> bytes(static_cast<size_t>(bodySize) + kTrailerSize);
    c.cipher->Encrypt(document.CStr(), plainSize, bytes.data(), bodySize, false);
    const uint32_t sum = XorChecksum(bodySize, bytes.data());
    const uint8_t sumBytes[4] = {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8),
                                 static_cast<uint8_t>(sum >> 16), static_cast<uint8_t>(sum >> 24)};
    c.cipher->Encrypt(sumBytes, 4, bytes.data() + bodySize, kTrailerSize, false);
    if (c.keepDamagedFile) {
        // The file that did not load may still hold scores worth recovering by hand.
        RenameEngineFile(kFileName, kDamagedFileName);
        c.keepDamagedFile = false;
    }
    SaveWholeFile(kFileName, bytes.data(), static_cast<int>(bytes.size()));
}

void TQzHiscores::BindLocalServer() {
    THiscoreConnection& c = *mConnection;
    c.library = LoadLibraryA(kServerLibrary);
    if (c.library == nullptr) {
        return;
    }
    const auto create = Export<TCreateLocalServer>(c.library, "HiscoreServer_CreateLocalServer");
    if (create == nullptr) {
        return;
    }
    c.server = create();

    if (GetSetting("qzgamehandle").Length() == 0) {
        if (auto load = Export<TLoadServerDefFile>(c.library, "HiscoreServer_LoadServerDefFile")) {
            load(c.server);
        }
        return;
    }
    const auto collect = [](const char* prefix) {
        std::vector<str> values;
        for (int i = 1;; ++i) {
            const str value = GetSetting(str::FromFormat("%s%d", prefix, i));
            if (value.Length() == 0) {
                return values;
            }
            values.push_back(value);
        }
    };
    const std::vector<str> modes = collect("qzgamemodename");
    const std::vector<str> medals = collect("qzgamemedalname");
    const auto setInfo = Export<TSetServerInfo>(c.library, "HiscoreServer_SetServerInfo");
    if (modes.empty() || setInfo == nullptr) {
        return;
    }
    const auto pointers = [](const std::vector<str>& texts) {
        std::vector<const char*> out(texts.size());
        std::transform(texts.begin(), texts.end(), out.begin(),
                       [](const str& text) { return text.CStr(); });
        return out;
    };
    std::vector<const char*> modeNames = pointers(modes);
    std::vector<const char*> medalNames = pointers(medals);
    setInfo(c.server, c.gameHandle.CStr(), c.key.CStr(), modeNames.data(),
            static_cast<int>(modeNames.size()), medalNames.empty() ? nullptr : medalNames.data(),
            static_cast<int>(medalNames.size()));
}

void TQzHiscores::ReadConfig() {
    THiscoreConnection& c = *mConnection;
    c.languageFixed = false;
    c.defaultError = str();
    TXmlNode document;
    if (!document.LoadFile("::hiscore.xml")) {
        return;
    }
    TXmlNode* hiscore = document.FindChild("hiscore");
    if (hiscore == nullptr) {
        return;
    }
    if (TXmlNode* language = hiscore->FindChild("language")) {
        c.language = language->GetText();
        c.languageFixed = true;
    }
    if (TXmlNode* error = hiscore->FindChild("defaulterror")) {
        c.defaultError = error->GetText();
    }
}

void TQzHiscores::ReadServerAddress() {
    crt::FILE* file = crt::fopen("hiscoreserver.txt", "r");
    if (file == nullptr) {
        return;
    }
    char line[kServerLineSize];
    int n = 0;
    while (n < kServerLineSize - 1) {
        const int c = crt::fgetc(file);
        if (c < 0) {
            break;
        }
        line[n++] = static_cast<char>(c);
        if (c == '\n') {
            break;
        }
    }
    crt::fclose(file);
    if (n > 0) {
        mConnection->serverAddress = str(line, n);
    }
}
