// One line of a generator's description file (tools/artgen and tools/soundgen read theirs through
// it): its words, split at blanks, a word in double quotes keeping its blanks; the first word is
// the command. Faults are thrown as std::runtime_error naming the line.
#pragma once

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace generators {

class TDescriptionLine {
public:
    TDescriptionLine(const std::string& text, int number) : mNumber(number) {
        size_t at = 0;
        while (at < text.size()) {
            if (text[at] == ' ' || text[at] == '\t' || text[at] == '\r') {
                ++at;
            } else if (text[at] == '"') {
                const size_t end = text.find('"', at + 1);
                if (end == std::string::npos) {
                    Fail("a text without its closing quote");
                }
                mWords.push_back(text.substr(at + 1, end - at - 1));
                at = end + 1;
            } else {
                const size_t end = text.find_first_of(" \t\r", at);
                mWords.push_back(text.substr(at, end == std::string::npos ? end : end - at));
                at = end == std::string::npos ? text.size() : end;
            }
        }
    }

    // Blank, or a comment ('#' first).
    bool Empty() const { return mWords.empty() || mWords[0][0] == '#'; }
    const std::string& Command() const { return mWords.at(0); }
    bool AtEnd() const { return mNext >= mWords.size(); }
    const std::string& Peek() const { return mWords.at(mNext); }

    std::string Word() {
        if (AtEnd()) {
            Fail("a word is missing");
        }
        return mWords[mNext++];
    }

    double Number() { return ToNumber(Word()); }

    double ToNumber(const std::string& word) const {
        size_t used = 0;
        double value = 0.0;
        try {
            value = std::stod(word, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != word.size() || !std::isfinite(value)) {
            Fail("'" + word + "' is no number");
        }
        return value;
    }

    void ExpectEnd() const {
        if (!AtEnd()) {
            Fail("'" + Peek() + "' is more than the command takes");
        }
    }

    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("line " + std::to_string(mNumber) + ": " + what);
    }

private:
    std::vector<std::string> mWords;
    size_t mNext = 1;
    int mNumber;
};

} // namespace generators
