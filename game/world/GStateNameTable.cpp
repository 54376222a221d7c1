#include "game/world/GStateNameTable.h"

#include "engine/core/log.h"

#include <cstring>
#include <set>

namespace {

bool EndsWord(char c) {
    return c == '_' || c == '\0';
}

// An empty word, or one that starts with '_' (after two underscores), adds no byte.
bool IsEmptyWord(const char* word) {
    return EndsWord(*word);
}

size_t WordLength(const char* word) {
    size_t length = 0;
    while (!EndsWord(word[length])) {
        ++length;
    }
    return length;
}

} // namespace

bool GStateNameTable::GWordLess::operator()(const char* a, const char* b) const {
    for (;; ++a, ++b) {
        const bool endA = EndsWord(*a);
        const bool endB = EndsWord(*b);
        if (endA || endB) {
            return endA && !endB;
        }
        if (*a != *b) {
            return static_cast<unsigned char>(*a) < static_cast<unsigned char>(*b);
        }
    }
}

GStateNameTable& GStateNameTable::Instance() {
    static GStateNameTable table;
    return table;
}

GStateKey GStateNameTable::Encode(const char* name, bool copyWords) {
    if (name == nullptr || *name == '\0') {
        return GStateKey();
    }
    mSplit.clear();
    mSplit.push_back(name);
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '_') {
            mSplit.push_back(p + 1);
        }
    }

    // The key has a byte for each non-empty word and a byte holds a number up to kMaxWords:
    // what does not fit is refused before anything is entered.
    int words = 0;
    std::set<const char*, GWordLess> unknown;
    for (const char* word : mSplit) {
        if (!IsEmptyWord(word)) {
            ++words;
            if (mIndex.find(word) == mIndex.end()) {
                unknown.insert(word);
            }
        }
    }
    if (words > kMaxNameWords) {
        Log("State name '%s' refused: more than %d words", name, kMaxNameWords);
        mSplit.clear();
        return GStateKey();
    }
    if (mNames.size() + unknown.size() > static_cast<size_t>(kMaxWords)) {
        Log("State name '%s' refused: more than %d distinct words", name, kMaxWords);
        mSplit.clear();
        return GStateKey();
    }

    uint64_t key = 0;
    for (const char* word : mSplit) {
        if (IsEmptyWord(word)) {
            continue;
        }
        int number = 0;
        auto found = mIndex.find(word);
        if (found != mIndex.end()) {
            number = found->second;
        } else {
            const char* kept = word;
            if (copyWords) {
                const size_t length = WordLength(word);
                auto copy = std::make_unique<char[]>(length + 1);
                std::memcpy(copy.get(), word, length);
                copy[length] = '\0';
                kept = copy.get();
                mCopies.push_back(std::move(copy));
            }
            mNames.push_back(kept);
            number = static_cast<int>(mNames.size());
            mIndex.emplace(kept, number);
        }
        int bytes = 0;
        while (bytes < kMaxNameWords && (key >> (8 * bytes)) != 0) {
            ++bytes;
        }
        key |= static_cast<uint64_t>(number) << (8 * bytes);
    }
    mSplit.clear();
    return GStateKey(key);
}

str GStateNameTable::Decode(GStateKey key) const {
    str name;
    for (int i = 0; i < 8; ++i) {
        const auto number = static_cast<size_t>((key.GetValue() >> (8 * i)) & 0xFF);
        if (number == 0 || number > mNames.size()) {
            continue;
        }
        if (i > 0) {
            name += '_';
        }
        const char* word = mNames[number - 1];
        name.Append(word, static_cast<int>(WordLength(word)));
    }
    return name;
}
