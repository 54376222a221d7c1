// Sound assets over Ogg files made by the test (sound_ogg.h) and served from memory, with the
// platform, its asset manager and a sound manager on the stand-in's null device (sound_fixture.h).
#pragma once

#include "engine/core/assetmanager.h"
#include "engine/core/assetmap.h"
#include "engine/core/knownfiles.h"
#include "engine/media/memspooler.h"
#include "engine/media/sound.h"
#include "engine/media/sounddata.h"
#include "tests/engine/media/sound_fixture.h"
#include "tests/engine/media/sound_ogg.h"

#include <ogg/ogg.h>

#include <map>
#include <string>
#include <tuple>

namespace sound_asset_test {

using sound_ogg::TBytes;
using sound_ogg::TSamples;

// Encoding is slow under the sanitizers: each file is made once per program.
inline const TBytes& ToneFile(double seconds, int rate = 44100, int channels = 2) {
    static std::map<std::tuple<double, int, int>, TBytes> made;
    TBytes& file = made[{seconds, rate, channels}];
    if (file.empty()) {
        file = sound_ogg::ToneFile(seconds, rate, channels);
    }
    return file;
}

// The samples of a file as vorbisfile decodes it, once per file.
inline const TSamples& Decoded(const TBytes& file) {
    static std::map<const TBytes*, TSamples> decoded;
    auto found = decoded.find(&file);
    if (found == decoded.end()) {
        found = decoded.emplace(&file, sound_ogg::Decode(file)).first;
    }
    return found->second;
}

// Gives a page whose bytes were changed its checksum again, so the change reaches the decoder.
inline void SealPage(TBytes& page) {
    ogg_page view{};
    const std::size_t header = 27 + static_cast<std::size_t>(page[26]);
    view.header = page.data();
    view.header_len = static_cast<long>(header);
    view.body = page.data() + header;
    view.body_len = static_cast<long>(page.size() - header);
    ogg_page_checksum_set(&view);
}

class TSoundAssetTest : public sound_test::TSoundTest {
protected:
    void TearDown() override {
        for (const auto& file : mFiles) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
        mFiles.clear();
        // RegisterMedia installed the asset map's loaders.
        SetAssetLoaderLink(nullptr);
        TSoundTest::TearDown();
    }

    // Served from memory under `name` until the test ends.
    void Serve(const std::string& name, TBytes bytes) {
        if (bytes.empty()) {
            // A registered block needs an address.
            bytes.reserve(1);
        }
        TBytes& stored = mFiles[name];
        stored = std::move(bytes);
        RegisterMemoryFile(name.c_str(), stored.data(), static_cast<unsigned>(stored.size()));
    }

    bool Logged(const std::string& line) const { return LogText().find(line) != std::string::npos; }

    // The log's lines about sounds and the asset map; the platform's own are left out.
    std::string SoundLog() const {
        const std::string all = LogText();
        std::string lines;
        std::size_t at = 0;
        while (at < all.size()) {
            std::size_t end = all.find('\n', at);
            end = end == std::string::npos ? all.size() : end + 1;
            const std::string line = all.substr(at, end - at);
            for (const char* topic :
                 {"TSound", "OGG", "TAssetMap", "Sound asset", "Play of", "No Sound"}) {
                if (line.find(topic) != std::string::npos) {
                    lines += line;
                    break;
                }
            }
            at = end;
        }
        return lines;
    }

    // The PCM bytes the decoder gives for a file, as the engine's 16-bit samples.
    static TSamples AsSamples(const uint8_t* bytes, std::size_t count) {
        TSamples samples(count / 2);
        if (!samples.empty()) {
            std::memcpy(samples.data(), bytes, samples.size() * 2);
        }
        return samples;
    }

    std::map<std::string, TBytes> mFiles;
};

} // namespace sound_asset_test
