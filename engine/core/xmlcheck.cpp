#include "engine/core/xmlcheck.h"

#include "engine/core/file.h"
#include "engine/core/log.h"

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Names are taken loosely: every byte that cannot end or separate one (UTF-8 letters included).
bool IsNameChar(char c) {
    return !IsSpace(c) && std::strchr("<>/=\"'&;!?", c) == nullptr && c != '\0';
}

class TChecker {
public:
    explicit TChecker(std::string_view text) : mText(text) {}

    bool Run(TXmlFault* fault);

private:
    bool Fail(const char* message, std::size_t at);
    bool Fail(const std::string& message, std::size_t at) { return Fail(message.c_str(), at); }
    bool Text();
    bool Markup();
    bool StartTag();
    bool EndTag();
    bool Entity();
    std::string_view Name();
    // Moves past `end`, or fails with `message` at the start of the construct.
    bool Skip(const char* end, const char* message);
    void Spaces() {
        while (mAt < mText.size() && IsSpace(mText[mAt])) {
            ++mAt;
        }
    }

    std::string_view mText;
    std::size_t mAt = 0;
    std::vector<std::string_view> mOpen;
    bool mRootSeen = false;
    TXmlFault* mFault = nullptr;
};

bool TChecker::Fail(const char* message, std::size_t at) {
    if (mFault != nullptr) {
        mFault->mMessage = message;
        mFault->mLine = 1;
        mFault->mColumn = 1;
        for (std::size_t i = 0; i < at && i < mText.size(); ++i) {
            if (mText[i] == '\n') {
                ++mFault->mLine;
                mFault->mColumn = 1;
            } else {
                ++mFault->mColumn;
            }
        }
    }
    return false;
}

bool TChecker::Run(TXmlFault* fault) {
    mFault = fault;
    // A byte-order mark may lead the text.
    if (mText.substr(0, 3) == "\xEF\xBB\xBF") {
        mAt = 3;
    }
    while (mAt < mText.size()) {
        if (!(mText[mAt] == '<' ? Markup() : Text())) {
            return false;
        }
    }
    if (!mOpen.empty()) {
        return Fail("element <" + std::string(mOpen.back()) + "> is not closed", mAt);
    }
    if (!mRootSeen) {
        return Fail("no root element", mAt);
    }
    return true;
}

bool TChecker::Text() {
    for (; mAt < mText.size() && mText[mAt] != '<'; ++mAt) {
        if (mText[mAt] == '&') {
            if (!Entity()) {
                return false;
            }
            --mAt;
        } else if (mText[mAt] == '>' && mText.substr(mAt >= 2 ? mAt - 2 : 0, 3) == "]]>") {
            return Fail("']]>' in text", mAt - 2);
        } else if (mOpen.empty() && !IsSpace(mText[mAt])) {
            return Fail("text outside the root element", mAt);
        }
    }
    return true;
}

bool TChecker::Entity() {
    const std::size_t start = mAt++;
    if (mAt < mText.size() && mText[mAt] == '#') {
        ++mAt;
        const bool hex = mAt < mText.size() && mText[mAt] == 'x';
        mAt += hex ? 1 : 0;
        const std::size_t digits = mAt;
        while (mAt < mText.size() && (hex ? std::isxdigit(static_cast<unsigned char>(mText[mAt]))
                                          : std::isdigit(static_cast<unsigned char>(mText[mAt])))) {
            ++mAt;
        }
        if (mAt == digits || mAt >= mText.size() || mText[mAt] != ';') {
            return Fail("bad character reference", start);
        }
    } else if (Name().empty() || mAt >= mText.size() || mText[mAt] != ';') {
        return Fail("'&' that starts no entity", start);
    }
    ++mAt;
    return true;
}

std::string_view TChecker::Name() {
    const std::size_t start = mAt;
    while (mAt < mText.size() && IsNameChar(mText[mAt])) {
        ++mAt;
    }
    return mText.substr(start, mAt - start);
}

bool TChecker::Skip(const char* end, const char* message) {
    const std::size_t found = mText.find(end, mAt);
    if (found == std::string_view::npos) {
        return Fail(message, mAt);
    }
    mAt = found + std::strlen(end);
    return true;
}

bool TChecker::Markup() {
    const std::string_view rest = mText.substr(mAt);
    if (rest.substr(0, 4) == "<!--") {
        return Skip("-->", "comment not closed");
    }
    if (rest.substr(0, 2) == "<?") {
        return Skip("?>", "processing instruction not closed");
    }
    if (rest.substr(0, 9) == "<![CDATA[") {
        if (mOpen.empty()) {
            return Fail("CDATA section outside the root element", mAt);
        }
        return Skip("]]>", "CDATA section not closed");
    }
    if (rest.substr(0, 9) == "<!DOCTYPE") {
        if (mRootSeen) {
            return Fail("DOCTYPE after the root element", mAt);
        }
        const std::size_t start = mAt;
        int brackets = 0;
        for (; mAt < mText.size(); ++mAt) {
            brackets += mText[mAt] == '[' ? 1 : mText[mAt] == ']' ? -1 : 0;
            if (mText[mAt] == '>' && brackets <= 0) {
                ++mAt;
                return true;
            }
        }
        return Fail("DOCTYPE not closed", start);
    }
    return rest.substr(0, 2) == "</" ? EndTag() : StartTag();
}

bool TChecker::StartTag() {
    const std::size_t start = mAt++;
    const std::string_view name = Name();
    if (name.empty()) {
        return Fail("'<' that starts no tag", start);
    }
    if (mOpen.empty() && mRootSeen) {
        return Fail("element <" + std::string(name) + "> after the root element", start);
    }
    std::vector<std::string_view> attributes;
    for (;;) {
        const std::size_t before = mAt;
        Spaces();
        if (mAt >= mText.size()) {
            return Fail("tag <" + std::string(name) + "> not closed", start);
        }
        if (mText[mAt] == '>' || mText.substr(mAt, 2) == "/>") {
            const bool empty = mText[mAt] == '/';
            mAt += empty ? 2 : 1;
            mRootSeen = true;
            if (!empty) {
                mOpen.push_back(name);
            }
            return true;
        }
        const std::size_t at = mAt;
        const std::string_view attribute = Name();
        if (attribute.empty() || at == before) {
            return Fail(attribute.empty() ? "bad character in a tag" : "no space before attribute",
                        at);
        }
        for (const std::string_view& seen : attributes) {
            if (seen == attribute) {
                return Fail("attribute '" + std::string(attribute) + "' given twice", at);
            }
        }
        attributes.push_back(attribute);
        Spaces();
        if (mAt >= mText.size() || mText[mAt] != '=') {
            return Fail("attribute '" + std::string(attribute) + "' without a value", mAt);
        }
        ++mAt;
        Spaces();
        if (mAt >= mText.size() || (mText[mAt] != '"' && mText[mAt] != '\'')) {
            return Fail("attribute value not quoted", mAt);
        }
        const char quote = mText[mAt++];
        const std::size_t valueStart = mAt;
        for (; mAt < mText.size() && mText[mAt] != quote; ++mAt) {
            if (mText[mAt] == '<') {
                return Fail("'<' in an attribute value", mAt);
            }
            if (mText[mAt] == '&') {
                if (!Entity()) {
                    return false;
                }
                --mAt;
            }
        }
        if (mAt >= mText.size()) {
            return Fail("attribute value not closed", valueStart - 1);
        }
        ++mAt;
    }
}

bool TChecker::EndTag() {
    const std::size_t start = mAt;
    mAt += 2;
    const std::string_view name = Name();
    Spaces();
    if (mAt >= mText.size() || mText[mAt] != '>') {
        return Fail("end tag not closed", start);
    }
    ++mAt;
    if (mOpen.empty()) {
        return Fail("end tag </" + std::string(name) + "> without a start tag", start);
    }
    if (mOpen.back() != name) {
        return Fail("end tag </" + std::string(name) + "> does not match <" +
                        std::string(mOpen.back()) + ">",
                    start);
    }
    mOpen.pop_back();
    return true;
}

} // namespace

bool XmlCheckWellFormed(const char* text, std::size_t length, TXmlFault* fault) {
    return TChecker(std::string_view(text != nullptr ? text : "", text != nullptr ? length : 0))
        .Run(fault);
}

bool XmlLogIfMalformed(const str& fileName, const char* text, std::size_t length) {
    TXmlFault fault;
    if (XmlCheckWellFormed(text, length, &fault)) {
        return true;
    }
    Log("XML file %s does not parse: %s at line %d, column %d", fileName.CStr(),
        fault.mMessage.CStr(), fault.mLine, fault.mColumn);
    return false;
}

bool XmlLogIfFileMalformed(const char* fileName) {
    TFile file;
    if (!file.Open(fileName, kModeReadBinary)) {
        return true;
    }
    const int size = file.GetSize();
    std::vector<char> bytes(size > 0 ? static_cast<std::size_t>(size) : 0);
    const int read = bytes.empty() ? 0 : file.Read(bytes.data(), size);
    file.Close();
    bytes.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "ZXML", 4) == 0) {
        return true;
    }
    return XmlLogIfMalformed(fileName, bytes.data(), bytes.size());
}
