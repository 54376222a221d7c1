#include "engine/core/file.h"

#include "engine/core/flatfilemap.h"
#include "engine/core/knownfiles.h"
#include "engine/core/memoryfile.h"

#include <climits>
#include <cstdio>

namespace {

const char* const kModeStrings[] = {"rb", "rt", "wb", "wt", "ab", "at"};

// Creates the folders of `path` below `root` one level at a time; folders above the root are
// the root's own business.
void MakeFoldersBelow(const str& root, const str& path) {
    if (root.Length() == 0 || path.Length() <= root.Length() ||
        str(path.CStr(), root.Length()).Compare(root) != 0 ||
        !IsPathSeparator(path[root.Length()])) {
        return;
    }
    str base = root;
    const char* rest = path.CStr() + root.Length() + 1;
    for (const char* p = rest; *p != '\0'; ++p) {
        if (!IsPathSeparator(*p)) {
            continue;
        }
        base = base + "/" + str(rest, static_cast<int>(p - rest));
        rest = p + 1;
        if (crt::_access(base.CStr(), 6) != 0) {
            crt::_mkdir(base.CStr());
        }
    }
}

} // namespace

TDiskFileData::~TDiskFileData() {
    Close();
}

bool TDiskFileData::Open(const str& name, int mode) {
    Close();
    const char* modeString = (mode >= 0 && mode <= 5) ? kModeStrings[mode] : "rt";
    mStream = crt::fopen(name.CStr(), modeString);
    return mStream != nullptr;
}

void TDiskFileData::Close() {
    if (mStream != nullptr) {
        crt::fclose(mStream);
        mStream = nullptr;
    }
    mLastByte = -1;
}

void TDiskFileData::UngetByte() {
    if (mStream != nullptr && mLastByte >= 0) {
        crt::ungetc(mLastByte, mStream);
        mLastByte = -1;
    }
}

void TDiskFileData::Seek(int offset, int origin) {
    if (mStream == nullptr) {
        return;
    }
    const int whence = origin == kSeekCurrent ? SEEK_CUR : origin == kSeekEnd ? SEEK_END : SEEK_SET;
    crt::fseek(mStream, offset, whence);
    // The byte to push back belongs to the old position.
    mLastByte = -1;
}

int TDiskFileData::GetSize() {
    if (mStream == nullptr) {
        return 0;
    }
    const long here = crt::ftell(mStream);
    crt::fseek(mStream, 0, SEEK_END);
    const long size = crt::ftell(mStream);
    crt::fseek(mStream, here, SEEK_SET);
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

int TDiskFileData::Tell() {
    if (mStream == nullptr) {
        return 0;
    }
    const long at = crt::ftell(mStream);
    return at > INT_MAX ? INT_MAX : static_cast<int>(at);
}

int TDiskFileData::Read(void* buffer, int count) {
    if (mStream == nullptr || buffer == nullptr || count <= 0) {
        return 0;
    }
    const size_t got = crt::fread(buffer, 1, static_cast<size_t>(count), mStream);
    if (got > 0) {
        mLastByte = static_cast<const unsigned char*>(buffer)[got - 1];
    }
    return static_cast<int>(got);
}

int TDiskFileData::Write(const void* buffer, int count) {
    if (mStream == nullptr || buffer == nullptr || count <= 0) {
        return 0;
    }
    return static_cast<int>(crt::fwrite(buffer, 1, static_cast<size_t>(count), mStream));
}

bool TDiskFileData::IsEof() {
    return mStream == nullptr || crt::feof(mStream) != 0;
}

TFile::~TFile() {
    Close();
}

TFileTarget ResolveFileTarget(const str& name, int mode) {
    TFileTarget target;
    target.mPath = ResolveName(name, mode < kModeWriteBinary, &target.mSource);
    if (target.mPath.Length() == 0) {
        target.mSource = TFileSource::kNone;
    } else if (target.mSource == TFileSource::kDisk && mode >= kModeWriteBinary) {
        str user;
        str common;
        str desktop;
        GetFolderRoots(&user, &common, &desktop);
        MakeFoldersBelow(user, target.mPath);
        MakeFoldersBelow(common, target.mPath);
    }
    return target;
}

bool TFile::Open(const str& name, int mode) {
    return Open(ResolveFileTarget(name, mode), mode);
}

bool TFile::Open(const TFileTarget& target, int mode) {
    Close();
    TFileData* data = nullptr;
    switch (target.mSource) {
    case TFileSource::kNone:
        return false;
    case TFileSource::kPack:
        data = new TFlatFileMap;
        break;
    case TFileSource::kMemory:
        data = new TMemoryFile;
        break;
    case TFileSource::kDisk:
        data = new TDiskFileData;
        break;
    }
    if (!data->Open(target.mPath, mode)) {
        delete data;
        return false;
    }
    mData = data;
    return true;
}

void TFile::Close() {
    delete mData;
    mData = nullptr;
}

bool TFile::IsEof() {
    return mData == nullptr || mData->IsEof();
}

void TFile::Seek(int offset, int origin) {
    if (mData != nullptr) {
        mData->Seek(offset, origin);
    }
}

int TFile::GetSize() {
    return mData == nullptr ? 0 : mData->GetSize();
}

int TFile::Tell() {
    return mData == nullptr ? -1 : mData->Tell();
}

int TFile::Read(void* buffer, int count) {
    return mData == nullptr ? 0 : mData->Read(buffer, count);
}

int TFile::Write(const void* buffer, int count) {
    return mData == nullptr ? 0 : mData->Write(buffer, count);
}

void TFile::UngetByte() {
    if (mData != nullptr) {
        mData->UngetByte();
    }
}

TFile* FileOpen(const char* name, int mode) {
    auto* file = new TFile;
    if (!file->Open(str(name), mode)) {
        delete file;
        return nullptr;
    }
    return file;
}

void FileClose(TFile* file) {
    delete file;
}

int FileRead(TFile* file, void* buffer, int count) {
    return file == nullptr ? 0 : file->Read(buffer, count);
}

int FileWrite(TFile* file, const void* buffer, int count) {
    return file == nullptr ? 0 : file->Write(buffer, count);
}

void FileSeek(TFile* file, long offset, int origin) {
    if (file == nullptr) {
        return;
    }
    const long clamped = offset < INT_MIN ? INT_MIN : offset > INT_MAX ? INT_MAX : offset;
    file->Seek(static_cast<int>(clamped), origin);
}

long FileTell(TFile* file) {
    return file == nullptr ? -1 : file->Tell();
}

int FileEof(TFile* file) {
    return file == nullptr || file->IsEof() ? 1 : 0;
}

int FileGetc(TFile* file) {
    if (FileEof(file) != 0) {
        return -1;
    }
    unsigned char c = 0;
    return file->Read(&c, 1) == 1 ? c : -1;
}

void FileUngetc(TFile* file) {
    if (file != nullptr) {
        file->UngetByte();
    }
}

int FileError(TFile* file) {
    return file == nullptr || !file->IsOpen() ? 1 : 0;
}

char* FileGets(TFile* file, char* buffer, int size) {
    if (file == nullptr || buffer == nullptr || size <= 0) {
        return nullptr;
    }
    int stored = 0;
    bool ended = false;
    while (stored < size - 1) {
        char c = 0;
        if (file->Read(&c, 1) != 1) {
            ended = true;
            break;
        }
        buffer[stored++] = c;
        if (c == '\n' || c == '\r') {
            break;
        }
    }
    buffer[stored] = '\0';
    if (stored == 0 && (ended || file->IsEof())) {
        return nullptr;
    }
    return buffer;
}

bool EngineFileExists(const str& name) {
    return ResolveName(name, true).Length() != 0;
}
