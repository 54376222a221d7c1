// A block of memory opened as a read-only engine file, from a memory reference "&address,size"
// that RegisterMemoryFile put into the known-file map. The block belongs to whoever registered
// it and must outlive every open file over it. One thread at a time.
#pragma once

#include "engine/core/file.h"

#include <cstdint>

class TMemoryFile final : public TFileData {
public:
    TMemoryFile() = default;

    // Read modes only.
    bool Open(const str& name, int mode) override;
    void Close() override;
    // Nothing at position 0.
    void UngetByte() override;
    // A target before the start leaves the position; one past the end clamps to the size.
    void Seek(int offset, int origin) override;
    int GetSize() override;
    int Tell() override;
    // Text mode (1) drops every carriage return.
    int Read(void* buffer, int count) override;
    // Writes nothing.
    int Write(const void* buffer, int count) override;
    // The position equals the size.
    bool IsEof() override;

private:
    const unsigned char* mStart = nullptr; // not owned
    uint32_t mSize = 0;
    uint32_t mPosition = 0;
    int mMode = 0;
};

// Shared by the memory and pack files: reads from a byte block at *position, dropping carriage
// returns in text mode; returns the bytes stored and whether the count reached past the end.
int ReadFromBlock(const unsigned char* start, uint32_t size, uint32_t* position, int mode,
                  void* buffer, int count, bool* pastEnd);
// The position that a Seek asks for, or the current one when the target lies before the start.
uint32_t SeekInBlock(uint32_t size, uint32_t position, int offset, int origin, bool* beyond);
