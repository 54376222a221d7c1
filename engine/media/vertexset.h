// A caller's vertex array as the display handler draws it: its kind (the vertex layout), where it
// lies and how many vertices it holds. The set owns a small record, never the vertices. Main
// thread, like all drawing.
#pragma once

#include <cstdint>
#include <memory>

class TVertexSet {
public:
    // Kinds: 0 position, normal, uv (lit by the device); 1 and 2 pre-lit with diffuse and
    // specular colours; 3 screen pixels with rhw. Every layout is 32 bytes a vertex.
    enum : int32_t { kUnlit = 0, kPreLit = 1, kLit = 2, kScreen = 3 };

    TVertexSet(int32_t kind, void* vertices, int32_t count)
        : mRecord(std::make_unique<TRecord>(TRecord{kind, vertices, count})) {}

    static TVertexSet FromLitVertices(void* vertices, int32_t count) {
        return TVertexSet(kLit, vertices, count);
    }
    static TVertexSet FromScreenVertices(void* vertices, int32_t count) {
        return TVertexSet(kScreen, vertices, count);
    }

    void SetCount(int32_t count) { mRecord->mCount = count; }
    int32_t GetKind() const { return mRecord->mKind; }
    void* GetVertices() const { return mRecord->mVertices; }
    int32_t GetCount() const { return mRecord->mCount; }

private:
    struct TRecord {
        int32_t mKind;
        void* mVertices;
        int32_t mCount;
    };
    std::unique_ptr<TRecord> mRecord;
};
