#include "engine/media/sound.h"

#include "engine/core/assetmanager.h"
#include "engine/core/file.h"
#include "engine/core/log.h"
#include "engine/media/memspooler.h"
#include "engine/media/sounddata.h"
#include "engine/media/soundmanager.h"

#include <boost/make_shared.hpp>

#include <vector>

namespace {

// Holds the platform's sound mutex, when there is one, for a scope.
class TSoundMutexHold {
public:
    TSoundMutexHold() { LockSoundMutex(); }
    ~TSoundMutexHold() { UnlockSoundMutex(); }
    TSoundMutexHold(const TSoundMutexHold&) = delete;
    TSoundMutexHold& operator=(const TSoundMutexHold&) = delete;
};

} // namespace

TSound::TSound() : mData(boost::make_shared<TSoundData>()) {
    mData->mOwner = this;
}

const void* TSound::ClassId() {
    return reinterpret_cast<const void*>(&TSound::ClassId);
}

const char* TSound::GetClassName() const {
    return "TSound";
}

bool TSound::IsKindOf(const void* classId) const {
    return classId == ClassId() || TAsset::IsKindOf(classId);
}

TSound::~TSound() {
    const TSoundMutexHold hold;
    mData->mOwner = nullptr;
    Stop();
    mData.reset();
}

TSoundPtr TSound::Get(const str& name, bool inMemory, int defaultCategory) {
    if (name.Length() == 0) {
        return TSoundPtr();
    }
    str path = name;
    int category = defaultCategory;
    const int question = name.FindChar('?');
    if (question >= 0) {
        const str tag = "group=";
        const int group = name.Find(tag);
        if (group >= 0) {
            category = name.Substr(group + tag.Length()).ToInt();
        }
        path = name.Substr(0, question);
    }
    const str key = str::FromFormat("%s;%d;%d", path.CStr(), inMemory ? 1 : 0, category);
    if (TSoundPtr found = Find(key)) {
        return found;
    }
    if (path.Find(".ogg") < 0) {
        return TSoundPtr();
    }
    TFile* file = FileOpen(path.CStr(), kModeReadBinary);
    if (file == nullptr) {
        Log("TSound::Get: OGG file not found: %s", path.CStr());
        return TSoundPtr();
    }
    TSoundPtr sound(new TSound);
    sound->mData->mName = path;
    sound->mData->mCategory = category;
    if (!sound->mData->Load(file, !inMemory)) {
        Log("TSound::Get: Error loading %s", path.CStr());
        // A load from memory has closed the file already.
        if (!inMemory) {
            FileClose(file);
        }
        return TSoundPtr();
    }
    if (TAssetManager* manager = GetAssetManager()) {
        manager->Add(key, sound);
    }
    return sound;
}

TSoundPtr TSound::Find(const str& key) {
    TAssetManager* manager = GetAssetManager();
    if (manager == nullptr) {
        return TSoundPtr();
    }
    const TAssetPtr asset = manager->Find(key);
    if (!asset || !asset->IsKindOf(ClassId())) {
        return TSoundPtr();
    }
    return boost::static_pointer_cast<TSound>(asset);
}

TSoundInstancePtr TSound::Play(bool loop) {
    if (!mData) {
        Log("Play of uninitialized sound");
        return TSoundInstancePtr();
    }
    TSoundManager* manager = TSoundManager::Get();
    if (manager == nullptr) {
        Log("No Sound Manager");
        return TSoundInstancePtr();
    }
    // The sound thread sees the stream only once it is whole.
    const TSoundLock hold(manager);
    TSoundStream* stream =
        TSoundStream::Create(manager, new TMemSpooler(mData), loop, mData->mCategory, mData);
    if (stream == nullptr) {
        // The manager is shutting down.
        return TSoundInstancePtr();
    }
    const TSoundInstancePtr instance = boost::make_shared<TSoundInstance>(
        stream, boost::static_pointer_cast<TSound>(shared_from_this()));
    mData->mInstances.insert(instance);
    stream->SetInstance(instance);
    // Without a buffer the copy runs on its clock for the sound's length.
    stream->CreateBuffer(mData->mRate, mData->mChannels, 16, 2.0f);
    // A one-shot that fits plays once from its buffer; anything else plays through the ring.
    stream->Play(!loop && static_cast<double>(stream->GetBufferSeconds()) > mData->mLength);
    return instance;
}

bool TSound::Stop() {
    const TSoundMutexHold hold;
    if (!mData) {
        return false;
    }
    // Each stop takes its copy out of the set.
    const std::vector<TSoundInstancePtr> copies(mData->mInstances.begin(), mData->mInstances.end());
    bool stopped = false;
    for (const TSoundInstancePtr& instance : copies) {
        stopped = StopInstance(instance) || stopped;
    }
    return stopped;
}

bool TSound::StopInstance(const TSoundInstancePtr& instance) {
    const TSoundMutexHold hold;
    if (!instance) {
        return false;
    }
    if (mData) {
        mData->mInstances.erase(instance);
    }
    TSoundStream* stream = instance->GetStream();
    if (stream != nullptr && mData && stream->GetListener().get() == mData.get()) {
        stream->Stop(false);
    }
    return true;
}

bool TSound::Pause(bool pause) {
    const TSoundMutexHold hold;
    if (!mData || mData->mInstances.empty()) {
        return false;
    }
    for (const TSoundInstancePtr& instance : mData->mInstances) {
        if (TSoundStream* stream = instance->GetStream()) {
            stream->Pause(pause);
        }
    }
    return true;
}

float TSound::GetLength() const {
    return mData ? static_cast<float>(mData->mLength) : 0.0f;
}
