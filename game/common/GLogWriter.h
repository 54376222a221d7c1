// The writers the game log hands its records to. The log manager owns them. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/common/GLogManager.h"

namespace crt {
struct FILE;
}

class GBaseLogWriter {
public:
    virtual ~GBaseLogWriter() = default;
    virtual void SetName(const str& name) { mName = name; }
    // Whether the record was written.
    virtual bool Write(const GLogRecord& record) = 0;

protected:
    str mName;
};

// Discards every record.
class GNullLogWriter final : public GBaseLogWriter {
public:
    bool Write(const GLogRecord& record) override;
};

// The debugger writer: this host has no debugger output to send records to, so it writes nothing.
class GDebugLogWriter final : public GBaseLogWriter {
public:
    bool Write(const GLogRecord& record) override;
};

// Appends one semicolon-separated row per record to the file named by the writer's name, in the
// current folder. The first record of the writer's life starts the file afresh with its header
// line; the file then stays open until the writer dies. Text fields holding a semicolon, a double
// quote or a line break are written quoted, their quotes doubled, so each record stays one row.
class GCsvLogWriter final : public GBaseLogWriter {
public:
    // The manager names the levels.
    GCsvLogWriter(const GLogManager& manager, const str& fileName);
    ~GCsvLogWriter() override;
    GCsvLogWriter(const GCsvLogWriter&) = delete;
    GCsvLogWriter& operator=(const GCsvLogWriter&) = delete;

    // False when the file cannot be opened; the next record tries again.
    bool Write(const GLogRecord& record) override;

private:
    const GLogManager& mManager;
    crt::FILE* mFile = nullptr;
};
