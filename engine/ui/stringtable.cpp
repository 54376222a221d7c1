#include "engine/ui/stringtable.h"

#include "engine/core/file.h"
#include "engine/core/log.h"
#include "engine/core/xml.h"
#include "engine/core/xmlcheck.h"

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

uint32_t ReadLe32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The text of a "ZXML" block; false when the block is damaged. A plain size that is too small
// gives the text that fits.
bool Inflate(const std::vector<unsigned char>& block, std::vector<unsigned char>* text) {
    if (block.size() < 12) {
        return false;
    }
    const uint32_t compressedSize = ReadLe32(block.data() + 4);
    const uint32_t plainSize = ReadLe32(block.data() + 8);
    // zlib never expands more than about 1032 to 1; a larger claim is a damaged header.
    if (compressedSize > block.size() - 12 || plainSize > 0x7FFFFFFFu ||
        static_cast<uint64_t>(plainSize) > static_cast<uint64_t>(compressedSize) * 1032u + 64u) {
        return false;
    }
    text->assign(plainSize, 0);
    if (plainSize == 0) {
        return true;
    }
    uLongf produced = plainSize;
    const int status = uncompress(text->data(), &produced, block.data() + 12, compressedSize);
    if (status != Z_OK && status != Z_BUF_ERROR) {
        return false;
    }
    text->resize(produced);
    return true;
}

// The cells of one row: the text between the '>' after each "<Data" and the next '<'.
std::vector<std::string_view> Cells(std::string_view row) {
    std::vector<std::string_view> cells;
    size_t at = 0;
    while ((at = row.find("<Data", at)) != std::string_view::npos) {
        const size_t open = row.find('>', at + 5);
        if (open == std::string_view::npos) {
            break;
        }
        size_t close = row.find('<', open + 1);
        if (close == std::string_view::npos) {
            close = row.size();
        }
        cells.push_back(row.substr(open + 1, close - open - 1));
        at = close;
    }
    return cells;
}

str Decode(std::string_view cell) {
    str text(cell.data(), static_cast<int>(cell.size()));
    XmlUnescape(text);
    return text;
}

bool AllDigits(const str& text) {
    if (text.Length() == 0) {
        return false;
    }
    for (const char* c = text.CStr(); *c != '\0'; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c))) {
            return false;
        }
    }
    return true;
}

} // namespace

bool TStringTable::Load(const str& path) {
    Clear();
    return LoadFile(path);
}

bool TStringTable::LoadFile(const str& path) {
    TFile file;
    if (!file.Open(path, kModeReadBinary)) {
        return false;
    }
    const int size = file.GetSize();
    std::vector<unsigned char> bytes(size > 0 ? static_cast<size_t>(size) : 0);
    const int read = bytes.empty() ? 0 : file.Read(bytes.data(), size);
    bytes.resize(read > 0 ? static_cast<size_t>(read) : 0);
    file.Close();
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "ZXML", 4) == 0) {
        std::vector<unsigned char> text;
        if (!Inflate(bytes, &text)) {
            Log("String table %s is damaged", path.CStr());
            return true;
        }
        bytes.swap(text);
    }
    // The rows are read whatever the damage; the log says why labels are missing.
    XmlLogIfMalformed(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    AddRows(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
}

void TStringTable::AddRows(const char* text, size_t length) {
    const std::string_view all(text, length);
    size_t start = all.find("<Row");
    while (start != std::string_view::npos) {
        const size_t next = all.find("<Row", start + 4);
        const std::string_view row = all.substr(
            start, next == std::string_view::npos ? std::string_view::npos : next - start);
        const std::vector<std::string_view> cells = Cells(row);
        if (!cells.empty()) {
            mEntries[Decode(cells[0])] = cells.size() > 1 ? Decode(cells[1]) : str("");
        }
        start = next;
    }
}

str TStringTable::GetString(const str& label, const str& a1, const str& a2, const str& a3,
                            const str& a4, const str& a5) {
    const str arguments[5] = {a1, a2, a3, a4, a5};
    return Format(label, 5, arguments);
}

str TStringTable::Format(const str& label, int count, const str* arguments) {
    const auto found = mEntries.find(label);
    bool failed = found == mEntries.end();
    str result;
    if (!failed) {
        const str text = found->second;
        const int length = text.Length();
        int i = 0;
        while (i < length) {
            if (text[static_cast<unsigned>(i)] != '%') {
                result += text[static_cast<unsigned>(i)];
                ++i;
                continue;
            }
            const int close = text.FindChar('%', 0, i + 1);
            if (close < 0) {
                // A lone '%' ("50% off") is an ordinary character.
                Log("Non-matched percent (%%) escape found in string %s, '%s'", label.CStr(),
                    text.CStr());
                result += '%';
                ++i;
                continue;
            }
            const str body = text.Substr(i + 1, close - i - 1);
            i = close + 1;
            if (body.Length() == 0) {
                result += '%';
            } else if (AllDigits(body)) {
                // More digits than any argument count can reach: out of range.
                const int number = body.Length() > 9 ? 0 : body.ToInt();
                if (number < 1 || number > count) {
                    failed = true;
                    continue;
                }
                const str& argument = arguments[number - 1];
                const int argumentLength = argument.Length();
                if (argument[0] != '%') {
                    result += argument;
                } else if (argument == str("%%")) {
                    result += '%';
                } else if (argumentLength >= 2 &&
                           argument[static_cast<unsigned>(argumentLength - 1)] == '%') {
                    const auto other = mEntries.find(argument.Substr(1, argumentLength - 2));
                    if (other == mEntries.end()) {
                        failed = true;
                    } else {
                        result += other->second;
                    }
                } else {
                    failed = true;
                }
            } else {
                const auto other = mEntries.find(body);
                if (other == mEntries.end()) {
                    failed = true;
                } else {
                    result += other->second;
                }
            }
        }
    }
    if (failed) {
        Log(" ##### : Missing string for label '%s'", label.CStr());
        return "#####";
    }
    return result;
}

void TStringTable::GetFlashLabels(std::vector<str>* labels) const {
    const size_t before = labels->size();
    for (const auto& entry : mEntries) {
        if (std::strncmp(entry.first.CStr(), "FLASH_", 6) == 0) {
            labels->push_back(entry.first);
        }
    }
    if (labels->size() != before) {
        return;
    }
    for (const auto& entry : mEntries) {
        int first = 0;
        int second = 0;
        if (std::sscanf(entry.first.CStr(), "flash%2d_%2d", &first, &second) >= 1) {
            labels->push_back(entry.first);
        }
    }
}
