// Reads arbitrary bytes as a string file, plain, behind a "ZXML" mark (header fields from the
// input) and properly compressed, then formats labels with arguments taken from the input: the
// input split at '|' gives a label and up to five arguments per group of six pieces.
#include "engine/core/knownfiles.h"
#include "engine/ui/stringtable.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void Serve(const char* name, const std::string& bytes) {
    RegisterMemoryFile(name, bytes.data(), static_cast<unsigned>(bytes.size()));
}

std::string Compressed(const std::string& text) {
    uLongf size = compressBound(text.size());
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(text.data()), text.size());
    packed.resize(size);
    std::string block = "ZXML";
    for (const uint32_t value : {static_cast<uint32_t>(size), static_cast<uint32_t>(text.size())}) {
        for (int i = 0; i < 4; ++i) {
            block += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    }
    return block + packed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string marked = "ZXML" + input;
    const std::string packed = Compressed(input);
    Serve("fuzz_plain.xml", input);
    Serve("fuzz_marked.xml", marked);
    Serve("fuzz_packed.xml", packed);

    TStringTable table;
    table.Load("fuzz_plain.xml");
    table.LoadFile("fuzz_marked.xml");
    table.LoadFile("fuzz_packed.xml");
    std::vector<str> flash;
    table.GetFlashLabels(&flash);

    std::vector<str> pieces;
    size_t start = 0;
    while (start <= input.size() && pieces.size() < 60) {
        size_t bar = input.find('|', start);
        if (bar == std::string::npos) {
            bar = input.size();
        }
        pieces.emplace_back(input.data() + start, static_cast<int>(bar - start));
        start = bar + 1;
    }
    for (size_t i = 0; i < pieces.size(); i += 6) {
        const int count = static_cast<int>(std::min<size_t>(5, pieces.size() - i - 1));
        table.Format(pieces[i], count, count > 0 ? &pieces[i + 1] : nullptr);
        table.GetString(pieces[i], count > 0 ? pieces[i + 1] : str());
    }
    for (const str& label : flash) {
        table.GetString(label, "%1%", "%%", "%x");
    }

    RegisterMemoryFile("fuzz_plain.xml", nullptr, 0);
    RegisterMemoryFile("fuzz_marked.xml", nullptr, 0);
    RegisterMemoryFile("fuzz_packed.xml", nullptr, 0);
    return 0;
}
