// The registry that turns state names into state keys and back. A name is a sequence of words
// joined by '_'; every distinct word gets a number (1, 2, ...) the first time it is seen, and a
// key packs the numbers of a name's non-empty words one byte each. One process-wide table, made
// on first use; tests may make their own. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/world/GStateKey.h"

#include <map>
#include <memory>
#include <vector>

class GStateNameTable {
public:
    // A key holds at most this many words, numbered up to kMaxWords.
    static constexpr int kMaxNameWords = 8;
    static constexpr int kMaxWords = 255;

    GStateNameTable() = default;
    GStateNameTable(const GStateNameTable&) = delete;
    GStateNameTable& operator=(const GStateNameTable&) = delete;

    static GStateNameTable& Instance();

    // The key of the name; 0 for an empty or null name. Without copyWords the table keeps
    // pointers into the text, which must then live as long as the process. A name of more than
    // kMaxNameWords words, or one that would bring the table past kMaxWords words, is refused
    // with a log line and gives 0 (nothing of it is entered).
    GStateKey Encode(const char* name, bool copyWords);
    // The words of the key's non-zero bytes, from the lowest, joined by '_' (a '_' goes before
    // every word but the lowest byte's). Numbers the table never gave are skipped.
    str Decode(GStateKey key) const;

    int GetWordCount() const { return static_cast<int>(mNames.size()); }

private:
    // Words end at their first '_' or at the end of the text.
    struct GWordLess {
        bool operator()(const char* a, const char* b) const;
    };

    // Copies of the words entered with copyWords; the names point into them.
    std::vector<std::unique_ptr<char[]>> mCopies;
    // The words of the name being encoded; emptied after each use.
    std::vector<const char*> mSplit;
    // A word's number is its position plus 1.
    std::vector<const char*> mNames;
    std::map<const char*, int, GWordLess> mIndex;
};
