// A clean file layer inside a temporary folder that is also HOME and the current folder: no
// known files, no exclusions, no folder roots, first-peek off. The previous folder comes back
// afterwards.
#pragma once

#include "engine/core/filescan.h"
#include "engine/core/knownfiles.h"

#include "tests/fixtures/tempdir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

class FileLayerTest : public ::testing::Test {
protected:
    FileLayerTest() : mDir(true), mOldFolder(std::filesystem::current_path()) {
        std::filesystem::current_path(mDir.Path());
        Reset();
    }
    ~FileLayerTest() override {
        Reset();
        std::filesystem::current_path(mOldFolder);
    }

    static void Reset() {
        ClearKnownFiles();
        ExcludedNames().clear();
        SetFolderRoots(str(), str(), str());
        SetFirstPeek(false);
    }

    // Absolute path of a name below the temporary folder.
    std::string Full(const std::string& relative) const {
        return (mDir.Path() / relative).string();
    }

    // Points "user:" and "common:" at two folders below the temporary one.
    void UseRoots() {
        std::filesystem::create_directories(mDir.Path() / "user");
        std::filesystem::create_directories(mDir.Path() / "common");
        SetFolderRoots(str(Full("user").c_str()), str(Full("common").c_str()),
                       str(Full("desktop").c_str()));
    }

    testing_fixtures::TempDir mDir;
    std::filesystem::path mOldFolder;
};
