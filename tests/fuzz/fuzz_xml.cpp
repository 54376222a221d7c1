// Feeds arbitrary bytes to the XML reader, plain and compressed, then writes the tree back and
// reads the written text again.
#include "engine/core/xml.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TXmlNode root;
    root.Parse(reinterpret_cast<const char*>(data), size);

    // The same bytes behind a "ZXML" header, so the size checks and the inflater see them too.
    std::vector<unsigned char> block(size + 4);
    std::memcpy(block.data(), "ZXML", 4);
    if (size > 0) {
        std::memcpy(block.data() + 4, data, size);
    }
    root.LoadCompressed(block.data(), block.size());

    const str text = root.ToString();
    TXmlNode again;
    again.Parse(text.CStr());

    str name;
    TXmlNode* child = nullptr;
    root.ResetChildren();
    while (root.NextChild(name, child)) {
        child->GetAttribute("x");
        child->FindChild("y");
    }
    return 0;
}
