#include "game/common/GLogWriter.h"

#include "platform/win32/crtio.h"

#include <cstring>

namespace {

const char kHeader[] = "Id;TimeTillStart (ms);MessageLevel;ModuleId;Message;SourceFilename;"
                       "LineNumber;\n";

// A text field of a row: as it is, unless it would split the row or the field.
str CsvField(const str& text) {
    if (std::strpbrk(text.CStr(), ";\"\r\n") == nullptr) {
        return text;
    }
    str quoted("\"");
    for (const char* at = text.CStr(); *at != '\0'; ++at) {
        if (*at == '"') {
            quoted += '"';
        }
        quoted += *at;
    }
    quoted += '"';
    return quoted;
}

bool WriteText(crt::FILE* file, const str& text) {
    const auto length = static_cast<size_t>(text.Length());
    return crt::fwrite(text.CStr(), 1, length, file) == length;
}

} // namespace

bool GNullLogWriter::Write(const GLogRecord& /*record*/) {
    return true;
}

bool GDebugLogWriter::Write(const GLogRecord& /*record*/) {
    return true;
}

GCsvLogWriter::GCsvLogWriter(const GLogManager& manager, const str& fileName) : mManager(manager) {
    SetName(fileName);
}

GCsvLogWriter::~GCsvLogWriter() {
    if (mFile != nullptr) {
        crt::fclose(mFile);
    }
}

bool GCsvLogWriter::Write(const GLogRecord& record) {
    if (mFile == nullptr) {
        crt::FILE* fresh = crt::fopen(mName.CStr(), "w");
        if (fresh == nullptr) {
            return false;
        }
        WriteText(fresh, kHeader);
        crt::fclose(fresh);
        mFile = crt::fopen(mName.CStr(), "a+");
        if (mFile == nullptr) {
            return false;
        }
    }
    const str row = str::FromFormat("%u;%u;%s;%s;%s;%s;%d;\n", record.id, record.time,
                                    CsvField(mManager.GetLevelName(record.level)).CStr(),
                                    CsvField(record.module).CStr(), CsvField(record.message).CStr(),
                                    CsvField(record.sourceFile).CStr(), record.line);
    const bool written = WriteText(mFile, row);
    return crt::fflush(mFile) == 0 && written;
}
