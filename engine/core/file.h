// Engine files: the abstract file object TFileData, the disk file, the TFile handle every caller
// holds and the flat file functions over it. A name is an engine file name ("user:prefs.dat",
// "::assets/settings.xml", an asset key), resolved through the known-file map (knownfiles.h).
// Failures are silent: a null handle, false, or the neutral values below. A handle belongs to one
// thread at a time; name resolution runs on the main thread.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/core/str.h"
#include "platform/win32/crtio.h"

// Seek origins of the engine (not the standard I/O numbering).
enum : int {
    kSeekCurrent = 0,
    kSeekStart = 1,
    kSeekEnd = 2,
};

// Open modes: 0 "rb", 1 "rt", 2 "wb", 3 "wt", 4 "ab", 5 "at". Below 2 is a read mode.
enum : int {
    kModeReadBinary = 0,
    kModeReadText = 1,
    kModeWriteBinary = 2,
    kModeWriteText = 3,
    kModeAppendBinary = 4,
    kModeAppendText = 5,
};

// One open file of some kind; owned by exactly one TFile.
class TFileData {
public:
    virtual ~TFileData() = default;
    // `name` is the resolved name.
    virtual bool Open(const str& name, int mode) = 0;
    // Idempotent.
    virtual void Close() = 0;
    // Steps back over the last byte read.
    virtual void UngetByte() = 0;
    virtual void Seek(int offset, int origin) = 0;
    virtual int GetSize() = 0;
    virtual int Tell() = 0;
    // A negative count reads nothing.
    virtual int Read(void* buffer, int count) = 0;
    virtual int Write(const void* buffer, int count) = 0;
    virtual bool IsEof() = 0;
};

// A file on disk over the platform's buffered standard I/O stream.
class TDiskFileData final : public TFileData {
public:
    TDiskFileData() = default;
    ~TDiskFileData() override;
    TDiskFileData(const TDiskFileData&) = delete;
    TDiskFileData& operator=(const TDiskFileData&) = delete;

    // Any mode outside 0-5 opens as "rt".
    bool Open(const str& name, int mode) override;
    void Close() override;
    // Only the first unget after a read has an effect.
    void UngetByte() override;
    void Seek(int offset, int origin) override;
    int GetSize() override;
    int Tell() override;
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    bool IsEof() override;

private:
    crt::FILE* mStream = nullptr;
    int mLastByte = -1; // -1 when there is nothing to push back
};

// The handle every caller holds; it owns its file object.
// Where an engine file name leads. Resolving it uses the main thread's structures; opening a disk
// target afterwards touches nothing shared, so another thread may do that part.
struct TFileTarget {
    str mPath;
    TFileSource mSource = TFileSource::kNone;
};
// Resolves `name` for `mode`; a write to disk also makes its folders below the roots. Main thread.
TFileTarget ResolveFileTarget(const str& name, int mode);

class TFile {
public:
    TFile() = default;
    ~TFile();
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    // Main thread: resolves the name.
    bool Open(const str& name, int mode);
    // A target resolved before; for a disk target, any thread.
    bool Open(const TFileTarget& target, int mode);
    void Close();
    bool IsOpen() const { return mData != nullptr; }
    bool IsEof(); // true without a file
    void Seek(int offset, int origin);
    int GetSize();                            // 0 without a file
    int Tell();                               // -1 without a file
    int Read(void* buffer, int count);        // 0 without a file
    int Write(const void* buffer, int count); // 0 without a file
    void UngetByte();

private:
    TFileData* mData = nullptr;
};

// Null when the name does not resolve or the file does not open.
TFile* FileOpen(const char* name, int mode);
// Null is ignored.
void FileClose(TFile* file);
int FileRead(TFile* file, void* buffer, int count);
int FileWrite(TFile* file, const void* buffer, int count);
void FileSeek(TFile* file, long offset, int origin);
long FileTell(TFile* file);
int FileEof(TFile* file);
// -1 at the end.
int FileGetc(TFile* file);
// Pushes back the byte last read; the file object knows which.
void FileUngetc(TFile* file);
// 1 when the handle holds no file object.
int FileError(TFile* file);
// Reads one line of at most size - 1 bytes, keeping the line feed or carriage return that ends
// it, and NUL-terminates it. Returns the buffer; null only when nothing was read because the
// file was at its end (a last line without a line break is still returned).
char* FileGets(TFile* file, char* buffer, int size);
bool EngineFileExists(const str& name);
