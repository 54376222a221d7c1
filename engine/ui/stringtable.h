// The localized texts of the game: a map from label to text read from spreadsheet-style XML
// files ("strings.xml" and extra string files, plain or "ZXML"), and a formatter that fills
// %-escapes with arguments or with the texts of other labels. One instance lives in the platform
// record. Main thread only.
#pragma once

#include "engine/system/windowsystemlink.h"

#include <map>
#include <vector>

class TStringTable final : public TStringTableLink {
public:
    TStringTable() = default;

    bool Load(const str& path) override;
    // A label already present gets the new text.
    bool LoadFile(const str& path) override;
    void Clear() override { mEntries.clear(); }
    str GetString(const str& label, const str& a1 = str(), const str& a2 = str(),
                  const str& a3 = str(), const str& a4 = str(), const str& a5 = str()) override;
    // The label's text with %N% replaced by argument N, %label% by another label's text and %% by
    // '%'; "#####" (and a log line) when anything is missing.
    str Format(const str& label, int count, const str* arguments);
    // Labels that begin with "FLASH_", or else those of the form "flash%2d_%2d", in label order.
    void GetFlashLabels(std::vector<str>* labels) const;

    // Stores the rows of a string file's text.
    void AddRows(const char* text, size_t length);

private:
    std::map<str, str> mEntries;
};
