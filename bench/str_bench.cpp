// Engine string: copies (shared buffer), appends (exact growth) and searches.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/core/str.h"

namespace {

void BM_StrCopy(benchmark::State& state) {
    str source(std::string(static_cast<size_t>(state.range(0)), 'x').c_str());
    for (auto _ : state) {
        str copy = source;
        benchmark::DoNotOptimize(copy.CStr());
    }
}
BENCHMARK(BM_StrCopy)->Arg(8)->Arg(1024);

// Copy, then change the copy: the cost of un-sharing.
void BM_StrCopyAndChange(benchmark::State& state) {
    str source(std::string(static_cast<size_t>(state.range(0)), 'x').c_str());
    for (auto _ : state) {
        str copy = source;
        copy.ToLower();
        benchmark::DoNotOptimize(copy.CStr());
    }
}
BENCHMARK(BM_StrCopyAndChange)->Arg(8)->Arg(1024);

// Building a text of n pieces with +=, which grows to the exact size each time.
void BM_StrAppend(benchmark::State& state) {
    const str piece("word ");
    for (auto _ : state) {
        str text;
        for (int64_t i = 0; i < state.range(0); ++i)
            text += piece;
        benchmark::DoNotOptimize(text.CStr());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StrAppend)->Arg(16)->Arg(256)->Arg(4096);

// The same text through the write cursor, which grows by doubling.
void BM_StrWriteAt(benchmark::State& state) {
    for (auto _ : state) {
        str text;
        int pos = 0;
        for (int64_t i = 0; i < state.range(0); ++i)
            pos = text.WriteAt(pos, "word ", 5, true);
        benchmark::DoNotOptimize(text.CStr());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StrWriteAt)->Arg(16)->Arg(256)->Arg(4096);

// A needle found at the end of a text of n bytes.
void BM_StrFind(benchmark::State& state) {
    std::string text(static_cast<size_t>(state.range(0)), 'a');
    text += "needle";
    const str haystack(text.c_str());
    const str needle("needle");
    for (auto _ : state)
        benchmark::DoNotOptimize(haystack.Find(needle));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StrFind)->Arg(64)->Arg(4096);

void BM_StrFindNoCase(benchmark::State& state) {
    std::string text(static_cast<size_t>(state.range(0)), 'a');
    text += "needle";
    const str haystack(text.c_str());
    const str needle("NEEDLE");
    for (auto _ : state)
        benchmark::DoNotOptimize(haystack.Find(needle, str::kNoCase));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StrFindNoCase)->Arg(64)->Arg(4096);

} // namespace
