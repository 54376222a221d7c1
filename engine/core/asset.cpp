#include "engine/core/asset.h"

const void* TAsset::ClassId() {
    return reinterpret_cast<const void*>(&TAsset::ClassId);
}

const char* TAsset::GetClassName() const {
    return "TAsset";
}

bool TAsset::IsKindOf(const void* classId) const {
    return classId == ClassId();
}

TAsset::~TAsset() = default;

void TAsset::Unload() {}

void TAsset::Restore() {}
