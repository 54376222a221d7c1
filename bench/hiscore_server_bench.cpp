// Score submissions (1 000 and 10 000) to the built local hiscore server library
// ("qzservlet_stub.dll" in the build folder, one level above this program), each of which
// rewrites serverdata.txt; reports submissions per second and the size of the final data file.
#include "hiscore_server/hiscoreserver.h"
#include "platform/win32/libloader.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::filesystem::path LibraryPath() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
           "qzservlet_stub.dll";
}

template <typename TFunction>
TFunction Bind(HMODULE module, const char* name) {
    return reinterpret_cast<TFunction>(GetProcAddress(module, name));
}

void SubmitScores(benchmark::State& state) {
    const int submissions = static_cast<int>(state.range(0));
    const std::string library = LibraryPath().string();
    HMODULE module = LoadLibraryA(library.c_str());
    if (!module) {
        state.SkipWithError(("cannot load " + library).c_str());
        return;
    }
    auto create =
        Bind<decltype(&HiscoreServer_CreateLocalServer)>(module, "HiscoreServer_CreateLocalServer");
    auto release =
        Bind<decltype(&HiscoreServer_FreeLocalServer)>(module, "HiscoreServer_FreeLocalServer");
    auto configure =
        Bind<decltype(&HiscoreServer_SetServerInfo)>(module, "HiscoreServer_SetServerInfo");
    auto submit = Bind<decltype(&HiscoreServer_SubmitScore)>(module, "HiscoreServer_SubmitScore");

    const std::filesystem::path oldFolder = std::filesystem::current_path();
    char pattern[] = "/tmp/bench-hiscore-XXXXXX";
    if (!::mkdtemp(pattern)) {
        state.SkipWithError("cannot make a folder");
        return;
    }
    std::filesystem::current_path(pattern);

    std::uintmax_t fileSize = 0;
    for (auto _ : state) {
        std::filesystem::remove("serverdata.txt");
        void* server = create();
        const char* modes[] = {"normal", "endless"};
        configure(server, "game", "key", modes, 2, nullptr, 0);
        std::uint32_t seed = 12345;
        for (int i = 0; i < submissions; ++i) {
            seed = seed * 1103515245u + 12345u;
            const int score = static_cast<int>((seed >> 8) % 100000u);
            // Every tenth submission comes from a logged-in test account.
            const bool account = i % 10 == 0;
            submit(server, "game", (i % 4 == 0) ? "endless" : "normal",
                   account ? "testname" : "player", account ? "yarrowit" : "",
                   "0123456789abcdef0123456789abcdef", "1.0", "level=12;time=345", score, "key");
        }
        release(server);
        fileSize = std::filesystem::file_size("serverdata.txt");
    }
    state.counters["submissions_per_second"] = benchmark::Counter(
        static_cast<double>(submissions) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["serverdata_bytes"] = static_cast<double>(fileSize);

    std::filesystem::current_path(oldFolder);
    std::filesystem::remove_all(pattern);
    FreeLibrary(module);
}

BENCHMARK(SubmitScores)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
