// The spooler of one playing copy of a sound: reads the sound's data at a position of its own,
// either bytes of the PCM decoded at load or sample frames of the decoder the copies share (each
// read seeks the decoder to the copy's position first). Owned by its stream, which gives it up
// through Release. Read on the sound thread under the sound mutex; the other operations take the
// mutex themselves.
#pragma once

#include "engine/media/soundstream.h"

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>

#include <cstdint>

class TSoundData;

class TMemSpooler final : public TStreamSpooler {
public:
    explicit TMemSpooler(const boost::shared_ptr<TSoundData>& data) : mData(data) {}
    ~TMemSpooler() override;
    TMemSpooler(const TMemSpooler&) = delete;
    TMemSpooler& operator=(const TMemSpooler&) = delete;

    // Fills the buffer from the position, silence where the data has none. At the end of the data
    // a looping read starts over at the beginning and goes on filling; a pass from the beginning
    // that finds no samples at all ends it, the rest staying silent. False when the data has
    // ended (never for a looping read) or is gone.
    bool Read(int bytes, void* buffer, int* bytesRead, bool loop) override;
    // To the whole sample frame nearest `seconds`, within the data.
    void Seek(float seconds) override;
    double GetLength() override;
    // Deletes the spooler.
    void Release() override;
    void Rewind() override;

    // A byte offset into the PCM decoded at load, or a sample frame of the decoder.
    int32_t GetPosition() const { return mPosition; }

private:
    // One pass from the position into `bytes` bytes at `out`; the bytes supplied. *ended when the
    // data ran out (or broke) before the bytes were filled.
    int ReadPass(TSoundData& data, uint8_t* out, int bytes, bool* ended);

    boost::weak_ptr<TSoundData> mData;
    int32_t mPosition = 0;
};
