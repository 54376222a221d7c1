// Parsing speed of the XML reader on a 1 MB document shaped like the game's data: nested
// elements with quoted and unquoted attributes, text with entities, and a declaration.
#include "engine/core/xml.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string MakeDocument(size_t targetBytes) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<objects>\n";
    for (int i = 0; text.size() < targetBytes; ++i) {
        text += "  <object name=\"girl_" + std::to_string(i) + "\" layer=" + std::to_string(i % 7) +
                " scale=\"1.25\">\n"
                "    <state id=\"idle\" frames=12 loop=\"1\"/>\n"
                "    <state id=\"walk\" frames=8/>\n"
                "    <text>Caf&#195;&#169; &amp; stage &lt;" +
                std::to_string(i) +
                "&gt; waits   for  her turn</text>\n"
                "  </object>\n";
    }
    text += "</objects>\n";
    return text;
}

void ParseDocument(benchmark::State& state) {
    const std::string document = MakeDocument(1 << 20);
    for (auto _ : state) {
        TXmlNode root;
        root.Parse(document.c_str(), document.size());
        benchmark::DoNotOptimize(root.FindChild("objects"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(document.size()));
}
BENCHMARK(ParseDocument)->Unit(benchmark::kMillisecond);

} // namespace
