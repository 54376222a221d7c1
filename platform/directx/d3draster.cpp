// The software rasteriser behind IDirect3DDevice7: transform and lighting, clipping at the near
// and far planes, coverage by the top-left rule, shading, the alpha and depth tests, blending
// and packing into the target's format. Single-threaded and free of fused operations, so equal
// input gives equal pixels. The rules it follows are written in d3d.h. Triangles and lines the
// fast paths can draw with the same bytes go to them (d3dfastpath.h).
#include "platform/directx/d3draster.h"
#include "platform/directx/blit.h"
#include "platform/directx/d3dfastpath.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace standin::detail {

namespace {

// Screen coordinates beyond this (in pixels) are not drawn: it keeps the fixed-point edge
// arithmetic within 64 bits.
constexpr double kMaxScreen = 1048576.0;

struct TClipVertex {
    double x, y, z, w;
    float attr[kAttributes];
};

float Channel(D3DCOLOR color, int shift) {
    return static_cast<float>((color >> shift) & 0xFF);
}

void SetColour(float* attr, D3DCOLOR color) {
    attr[kR] = Channel(color, 16);
    attr[kG] = Channel(color, 8);
    attr[kB] = Channel(color, 0);
    attr[kA] = Channel(color, 24);
}

void SetSpecular(float* attr, D3DCOLOR color) {
    attr[kSR] = Channel(color, 16);
    attr[kSG] = Channel(color, 8);
    attr[kSB] = Channel(color, 0);
}

float Clamp255(float value) {
    return std::clamp(value, 0.0f, 255.0f);
}

bool Drawable(const TScreenVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) &&
           std::fabs(v.x) <= kMaxScreen && std::fabs(v.y) <= kMaxScreen;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

class TRasterizer {
public:
    // `fast` null draws everything by the general path.
    TRasterizer(TPixelPipe& pipe, TFastPaths* fast, const TScissor& scissor, bool halfPixelCentres,
                bool gouraud, DWORD cull, double texels)
        : mPipe(pipe), mFast(fast), mScissor(scissor), mOffset(halfPixelCentres ? 0.5 : 0.0),
          mGouraud(gouraud), mCull(cull), mTexels(texels) {}

    void Triangle(TScreenVertex a, TScreenVertex b, TScreenVertex c, const float* flat) {
        if (!Drawable(a) || !Drawable(b) || !Drawable(c)) {
            return;
        }
        // Drawable keeps |x * kSubPixels| within 2^28.
        const std::int64_t ax = RoundHalfAway(a.x * kSubPixels);
        const std::int64_t ay = RoundHalfAway(a.y * kSubPixels);
        std::int64_t bx = RoundHalfAway(b.x * kSubPixels), by = RoundHalfAway(b.y * kSubPixels);
        std::int64_t cx = RoundHalfAway(c.x * kSubPixels), cy = RoundHalfAway(c.y * kSubPixels);
        std::int64_t area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
        if (area == 0) {
            return;
        }
        // With y growing downwards a positive area is clockwise on the screen.
        if ((mCull == D3DCULL_CCW && area < 0) || (mCull == D3DCULL_CW && area > 0)) {
            return;
        }
        if (area < 0) {
            std::swap(b, c);
            std::swap(bx, cx);
            std::swap(by, cy);
            area = -area;
        }
        const auto offset = static_cast<std::int64_t>(mOffset * kSubPixels);
        const std::int64_t minX = std::min({ax, bx, cx}), maxX = std::max({ax, bx, cx});
        const std::int64_t minY = std::min({ay, by, cy}), maxY = std::max({ay, by, cy});
        TTriangle t{};
        t.x0 = static_cast<int>(
            std::max<std::int64_t>(mScissor.left, -FloorDiv(-(minX - offset), kSubPixels)));
        t.x1 = static_cast<int>(
            std::min<std::int64_t>(mScissor.right - 1, FloorDiv(maxX - offset, kSubPixels)));
        t.y0 = static_cast<int>(
            std::max<std::int64_t>(mScissor.top, -FloorDiv(-(minY - offset), kSubPixels)));
        t.y1 = static_cast<int>(
            std::min<std::int64_t>(mScissor.bottom - 1, FloorDiv(maxY - offset, kSubPixels)));
        if (t.x0 > t.x1 || t.y0 > t.y1) {
            return;
        }
        auto edge = [](std::int64_t px, std::int64_t py, std::int64_t qx, std::int64_t qy) {
            TEdge e{};
            e.a = py - qy;
            e.b = qx - px;
            e.c = -(e.a * px + e.b * py);
            const bool top = qy == py && qx > px;
            const bool left = qy < py;
            e.bias = top || left ? 0 : -1;
            return e;
        };
        t.v[0] = &a, t.v[1] = &b, t.v[2] = &c;
        t.sx[0] = ax, t.sx[1] = bx, t.sx[2] = cx;
        t.sy[0] = ay, t.sy[1] = by, t.sy[2] = cy;
        t.edges[0] = edge(bx, by, cx, cy); // opposite a
        t.edges[1] = edge(cx, cy, ax, ay); // opposite b
        t.edges[2] = edge(ax, ay, bx, by); // opposite c
        t.inverse = 1.0 / static_cast<double>(area);
        t.offset = offset;
        t.gouraud = mGouraud;
        t.flat = flat;
        // The mip measure, where it can change a sample (else it stays 0).
        if (mPipe.Textured() && mPipe.Sampler().LodMatters()) {
            const double texels = std::fabs((b.attr[kU] - a.attr[kU]) * (c.attr[kV] - a.attr[kV]) -
                                            (c.attr[kU] - a.attr[kU]) * (b.attr[kV] - a.attr[kV])) *
                                  mTexels;
            const double pixels = static_cast<double>(area) / (kSubPixels * kSubPixels);
            t.lod = texels > 0.0 && pixels > 0.0 ? 0.5 * std::log2(texels / pixels) : 0.0;
        }
        mPipe.SetLod(t.lod);
        if (mFast != nullptr && mFast->Triangle(t)) {
            return;
        }
        Cover(t);
    }

    void Line(const TScreenVertex& a, const TScreenVertex& b, const float* flat) {
        if (!Drawable(a) || !Drawable(b)) {
            return;
        }
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        if (dx == 0.0 && dy == 0.0) {
            return;
        }
        mPipe.SetLod(0.0);
        const bool xMajor = std::fabs(dx) >= std::fabs(dy);
        // Drawn from the lower end along the major axis, so a line backwards lights the same
        // pixels.
        const bool forward = xMajor ? dx > 0.0 : dy > 0.0;
        const TScreenVertex& from = forward ? a : b;
        const TScreenVertex& to = forward ? b : a;
        const double start = xMajor ? from.x : from.y;
        const double end = xMajor ? to.x : to.y;
        const double length = end - start;
        // Drawable keeps these within 2^21.
        const int first = static_cast<int>(CeilToInt(start - mOffset));
        const int last = static_cast<int>(CeilToInt(end - mOffset)) - 1;
        // Calls plot(x, y, t) for each pixel inside the scissor.
        auto step = [&](auto plot) {
            for (int major = first; major <= last; ++major) {
                const double t = (major + mOffset - start) / length;
                const double minorAt =
                    xMajor ? from.y + t * (to.y - from.y) : from.x + t * (to.x - from.x);
                const int minor = static_cast<int>(FloorToInt(minorAt - mOffset + 0.5));
                const int x = xMajor ? major : minor;
                const int y = xMajor ? minor : major;
                if (x >= mScissor.left && x < mScissor.right && y >= mScissor.top &&
                    y < mScissor.bottom) {
                    plot(x, y, t);
                }
            }
        };
        if (mFast != nullptr && mFast->BeginLine(from, to, flat, mGouraud)) {
            step([&](int x, int y, double) { mFast->Plot(x, y); });
            mFast->EndLine();
            return;
        }
        float attr[kAttributes];
        if (!mGouraud) {
            std::copy(flat, flat + kAttributes, attr);
        }
        step([&](int x, int y, double t) {
            if (mGouraud) {
                for (int i = 0; i < kU; ++i) {
                    attr[i] = static_cast<float>(from.attr[i] + t * (to.attr[i] - from.attr[i]));
                }
            }
            for (int i = kU; i < kAttributes; ++i) {
                attr[i] = static_cast<float>(from.attr[i] + t * (to.attr[i] - from.attr[i]));
            }
            mPipe.Write(x, y, attr, from.z + t * (to.z - from.z));
        });
    }

    void Point(const TScreenVertex& a) {
        if (!Drawable(a)) {
            return;
        }
        const int x = static_cast<int>(std::floor(a.x - mOffset + 0.5));
        const int y = static_cast<int>(std::floor(a.y - mOffset + 0.5));
        mPipe.SetLod(0.0);
        if (x >= mScissor.left && x < mScissor.right && y >= mScissor.top && y < mScissor.bottom) {
            mPipe.Write(x, y, a.attr, a.z);
        }
    }

private:
    // The general path: every pixel of the box tested against the edges and interpolated.
    void Cover(const TTriangle& t) {
        const TScreenVertex& a = *t.v[0];
        const TScreenVertex& b = *t.v[1];
        const TScreenVertex& c = *t.v[2];
        const TEdge& ea = t.edges[0];
        const TEdge& eb = t.edges[1];
        const TEdge& ec = t.edges[2];
        float attr[kAttributes];
        if (!mGouraud) {
            std::copy(t.flat, t.flat + kAttributes, attr);
        }
        const bool textured = mPipe.Textured();
        for (int y = t.y0; y <= t.y1; ++y) {
            const std::int64_t sy = t.CentreY(y);
            const std::int64_t sx0 = t.CentreX(t.x0);
            std::int64_t wa = ea.At(sx0, sy);
            std::int64_t wb = eb.At(sx0, sy);
            std::int64_t wc = ec.At(sx0, sy);
            for (int x = t.x0; x <= t.x1; ++x) {
                if (wa + ea.bias >= 0 && wb + eb.bias >= 0 && wc + ec.bias >= 0) {
                    const double la = static_cast<double>(wa) * t.inverse;
                    const double lb = static_cast<double>(wb) * t.inverse;
                    const double lc = static_cast<double>(wc) * t.inverse;
                    if (mGouraud) {
                        for (int i = 0; i < kU; ++i) {
                            attr[i] = static_cast<float>(la * a.attr[i] + lb * b.attr[i] +
                                                         lc * c.attr[i]);
                        }
                    }
                    if (textured) {
                        TextureAt(t, la, lb, lc, attr);
                    }
                    mPipe.Write(x, y, attr, la * a.z + lb * b.z + lc * c.z);
                }
                wa += ea.a * kSubPixels;
                wb += eb.a * kSubPixels;
                wc += ec.a * kSubPixels;
            }
        }
    }

    TPixelPipe& mPipe;
    TFastPaths* mFast;
    TScissor mScissor;
    double mOffset;
    bool mGouraud;
    DWORD mCull;
    double mTexels; // texels of level 0 of the bound texture
};

D3DMATRIX Multiply(const D3DMATRIX& l, const D3DMATRIX& r) {
    const float* a = &l._11;
    const float* b = &r._11;
    D3DMATRIX out{};
    float* o = &out._11;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a[row * 4 + k] * b[k * 4 + column];
            }
            o[row * 4 + column] = sum;
        }
    }
    return out;
}

// The colour a lit vertex gets: no lights are ever set, so ambient and emissive light alone.
void Light(const TDevice3D& device, bool hasDiffuse, bool hasSpecular, float* attr) {
    const auto& rs = device.renderStates;
    const bool colourVertex = rs[D3DRENDERSTATE_COLORVERTEX] != 0;
    const float vertexDiffuse[4] = {attr[kR], attr[kG], attr[kB], attr[kA]};
    const float vertexSpecular[4] = {attr[kSR], attr[kSG], attr[kSB], 255.0f};
    auto source = [&](D3DRENDERSTATETYPE state, const D3DCOLORVALUE& material, float* out) {
        const DWORD from = rs[state];
        if (colourVertex && from == D3DMCS_COLOR1 && hasDiffuse) {
            std::copy(vertexDiffuse, vertexDiffuse + 4, out);
        } else if (colourVertex && from == D3DMCS_COLOR2 && hasSpecular) {
            std::copy(vertexSpecular, vertexSpecular + 4, out);
        } else {
            out[0] = material.r * 255.0f;
            out[1] = material.g * 255.0f;
            out[2] = material.b * 255.0f;
            out[3] = material.a * 255.0f;
        }
    };
    float diffuse[4];
    float ambient[4];
    float emissive[4];
    source(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, device.material.diffuse, diffuse);
    source(D3DRENDERSTATE_AMBIENTMATERIALSOURCE, device.material.ambient, ambient);
    source(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE, device.material.emissive, emissive);
    const D3DCOLOR light = rs[D3DRENDERSTATE_AMBIENT];
    const float lightColour[3] = {Channel(light, 16) / 255.0f, Channel(light, 8) / 255.0f,
                                  Channel(light, 0) / 255.0f};
    for (int i = 0; i < 3; ++i) {
        attr[kR + i] = Clamp255(ambient[i] * lightColour[i] + emissive[i]);
        attr[kSR + i] = 0.0f;
    }
    attr[kA] = Clamp255(diffuse[3]);
}

// Near (z >= 0) and far (z <= w) planes, and w > 0 always so that the divide is defined.
std::vector<TClipVertex> ClipPolygon(std::vector<TClipVertex> polygon, bool clipping) {
    auto clip = [&](auto distance) {
        std::vector<TClipVertex> out;
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const TClipVertex& p = polygon[i];
            const TClipVertex& q = polygon[(i + 1) % polygon.size()];
            const double dp = distance(p);
            const double dq = distance(q);
            if (dp >= 0) {
                out.push_back(p);
            }
            if ((dp >= 0) != (dq >= 0)) {
                const double t = dp / (dp - dq);
                TClipVertex v{};
                v.x = p.x + t * (q.x - p.x);
                v.y = p.y + t * (q.y - p.y);
                v.z = p.z + t * (q.z - p.z);
                v.w = p.w + t * (q.w - p.w);
                for (int k = 0; k < kAttributes; ++k) {
                    v.attr[k] = static_cast<float>(p.attr[k] + t * (q.attr[k] - p.attr[k]));
                }
                out.push_back(v);
            }
        }
        polygon = std::move(out);
    };
    if (clipping) {
        clip([](const TClipVertex& v) { return v.z; });
        clip([](const TClipVertex& v) { return v.w - v.z; });
        // Left after the near plane only where w > 0 in a sound projection; a w of 0 or less
        // from an odd one would divide by nothing.
        clip([](const TClipVertex& v) { return v.w - 1e-9; });
    } else {
        for (const TClipVertex& v : polygon) {
            if (!(v.w > 0.0)) {
                return {};
            }
        }
    }
    return polygon;
}

class TDrawCall {
public:
    TDrawCall(TDevice3D& device, TPixelPipe& pipe, TFastPaths* fast, const TScissor& scissor,
              double texels)
        : mDevice(device), mRaster(pipe, fast, scissor, device.halfPixelCentres,
                                   device.renderStates[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT,
                                   device.renderStates[D3DRENDERSTATE_CULLMODE], texels) {
        mClipping = device.renderStates[D3DRENDERSTATE_CLIPPING] != 0;
    }

    // Reads the vertices of the list into clip space (or screen space for transformed ones).
    void Load(DWORD vertexFormat, const void* vertices, DWORD count) {
        mPreTransformed = vertexFormat == D3DFVF_TLVERTEX;
        if (!mPreTransformed) {
            mTransform = Multiply(Multiply(mDevice.world, mDevice.view), mDevice.projection);
        }
        mVertices.resize(count);
        const bool lighting =
            !mPreTransformed && mDevice.renderStates[D3DRENDERSTATE_LIGHTING] != 0;
        for (DWORD i = 0; i < count; ++i) {
            TClipVertex& v = mVertices[i];
            std::fill(std::begin(v.attr), std::end(v.attr), 0.0f);
            double position[3];
            bool hasDiffuse = false;
            bool hasSpecular = false;
            if (vertexFormat == D3DFVF_VERTEX) {
                const auto& in = static_cast<const D3DVERTEX*>(vertices)[i];
                position[0] = in.x, position[1] = in.y, position[2] = in.z;
                v.attr[kU] = in.tu, v.attr[kV] = in.tv;
                SetColour(v.attr, 0xFFFFFFFF);
            } else if (vertexFormat == D3DFVF_LVERTEX) {
                const auto& in = static_cast<const D3DLVERTEX*>(vertices)[i];
                position[0] = in.x, position[1] = in.y, position[2] = in.z;
                SetColour(v.attr, in.color);
                SetSpecular(v.attr, in.specular);
                v.attr[kU] = in.tu, v.attr[kV] = in.tv;
                hasDiffuse = hasSpecular = true;
            } else {
                const auto& in = static_cast<const D3DTLVERTEX*>(vertices)[i];
                v.x = in.sx, v.y = in.sy, v.z = in.sz;
                v.w = in.rhw != 0.0f ? 1.0 / in.rhw : 1.0;
                SetColour(v.attr, in.color);
                SetSpecular(v.attr, in.specular);
                v.attr[kU] = in.tu, v.attr[kV] = in.tv;
                continue;
            }
            if (lighting) {
                Light(mDevice, hasDiffuse, hasSpecular, v.attr);
            }
            const float* m = &mTransform._11;
            double out[4];
            for (int c = 0; c < 4; ++c) {
                out[c] = position[0] * m[c] + position[1] * m[4 + c] + position[2] * m[8 + c] +
                         m[12 + c];
            }
            v.x = out[0], v.y = out[1], v.z = out[2], v.w = out[3];
        }
    }

    void Draw(D3DPRIMITIVETYPE type, const WORD* indices, DWORD count) {
        auto at = [&](DWORD i) -> const TClipVertex& {
            return mVertices[indices != nullptr ? indices[i] : i];
        };
        switch (type) {
        case D3DPT_POINTLIST:
            for (DWORD i = 0; i < count; ++i) {
                DrawPoint(at(i));
            }
            break;
        case D3DPT_LINELIST:
            for (DWORD i = 0; i + 1 < count; i += 2) {
                DrawLine(at(i), at(i + 1));
            }
            break;
        case D3DPT_LINESTRIP:
            for (DWORD i = 0; i + 1 < count; ++i) {
                DrawLine(at(i), at(i + 1));
            }
            break;
        case D3DPT_TRIANGLELIST:
            for (DWORD i = 0; i + 2 < count; i += 3) {
                DrawTriangle(at(i), at(i + 1), at(i + 2), at(i));
            }
            break;
        case D3DPT_TRIANGLESTRIP:
            for (DWORD i = 0; i + 2 < count; ++i) {
                // Every other triangle is turned round, so all face the same way.
                if (i % 2 == 0) {
                    DrawTriangle(at(i), at(i + 1), at(i + 2), at(i));
                } else {
                    DrawTriangle(at(i + 1), at(i), at(i + 2), at(i));
                }
            }
            break;
        case D3DPT_TRIANGLEFAN:
            for (DWORD i = 1; i + 1 < count; ++i) {
                DrawTriangle(at(0), at(i), at(i + 1), at(i));
            }
            break;
        }
    }

private:
    TScreenVertex Project(const TClipVertex& v) const {
        TScreenVertex s{};
        std::copy(std::begin(v.attr), std::end(v.attr), s.attr);
        if (mPreTransformed) {
            s.x = v.x, s.y = v.y, s.z = v.z, s.rhw = 1.0 / v.w;
            return s;
        }
        const D3DVIEWPORT7& vp = mDevice.viewport;
        const double rhw = 1.0 / v.w;
        s.x = vp.dwX + (1.0 + v.x * rhw) * vp.dwWidth * 0.5;
        s.y = vp.dwY + (1.0 - v.y * rhw) * vp.dwHeight * 0.5;
        s.z = vp.dvMinZ + v.z * rhw * (vp.dvMaxZ - vp.dvMinZ);
        s.rhw = rhw;
        return s;
    }

    void DrawTriangle(const TClipVertex& a, const TClipVertex& b, const TClipVertex& c,
                      const TClipVertex& provoking) {
        if (mPreTransformed) {
            mRaster.Triangle(Project(a), Project(b), Project(c), provoking.attr);
            return;
        }
        const std::vector<TClipVertex> polygon = ClipPolygon({a, b, c}, mClipping);
        for (std::size_t i = 1; i + 1 < polygon.size(); ++i) {
            mRaster.Triangle(Project(polygon[0]), Project(polygon[i]), Project(polygon[i + 1]),
                             provoking.attr);
        }
    }

    void DrawLine(const TClipVertex& a, const TClipVertex& b) {
        if (mPreTransformed) {
            mRaster.Line(Project(a), Project(b), a.attr);
            return;
        }
        // A segment is a polygon of two points: clipping keeps it a segment.
        const std::vector<TClipVertex> kept = ClipPolygon({a, b}, mClipping);
        if (kept.size() >= 2) {
            mRaster.Line(Project(kept[0]), Project(kept[1]), a.attr);
        }
    }

    void DrawPoint(const TClipVertex& a) {
        if (!mPreTransformed) {
            const bool inside = a.w > 0.0 && (!mClipping || (a.z >= 0.0 && a.z <= a.w));
            if (!inside) {
                return;
            }
        }
        mRaster.Point(Project(a));
    }

    TDevice3D& mDevice;
    TRasterizer mRaster;
    D3DMATRIX mTransform{};
    bool mClipping = true;
    bool mPreTransformed = false;
    std::vector<TClipVertex> mVertices;
};

TSurface* DepthOf(TSurface& target) {
    for (IDirectDrawSurface7* attached : target.attached) {
        if (attached->State().layout.depth) {
            return &attached->State();
        }
    }
    return nullptr;
}

TScissor ScissorOf(const TDevice3D& device) {
    const TSurface& target = device.target->State();
    const D3DVIEWPORT7& vp = device.viewport;
    return TScissor{static_cast<int>(vp.dwX), static_cast<int>(vp.dwY),
                    static_cast<int>(std::min<DWORD>(vp.dwX + vp.dwWidth, target.width)),
                    static_cast<int>(std::min<DWORD>(vp.dwY + vp.dwHeight, target.height))};
}

} // namespace

HRESULT DrawVertexList(TDevice3D& device, D3DPRIMITIVETYPE type, DWORD vertexFormat,
                       const void* vertices, DWORD vertexCount, const WORD* indices,
                       DWORD indexCount) {
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) {
        return D3DERR_INVALIDPRIMITIVETYPE;
    }
    if (vertexFormat != D3DFVF_VERTEX && vertexFormat != D3DFVF_LVERTEX &&
        vertexFormat != D3DFVF_TLVERTEX) {
        return D3DERR_INVALIDVERTEXTYPE;
    }
    if (vertices == nullptr && vertexCount != 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (indices != nullptr) {
        const bool outside = std::any_of(indices, indices + indexCount,
                                         [&](WORD index) { return index >= vertexCount; });
        if (outside) {
            return DDERR_INVALIDPARAMS;
        }
    }
    if (!device.inScene) {
        return D3DERR_SCENE_NOT_IN_SCENE;
    }
    TSurface& target = device.target->State();
    TSurface* depth = DepthOf(target);
    const TSampler sampler(device.textures[0], device.stages[0]);
    std::vector<TSurface*> surfaces = sampler.Surfaces();
    surfaces.reserve(surfaces.size() + 2);
    surfaces.push_back(&target);
    surfaces.push_back(depth);
    TBlitLocks locks;
    HRESULT hr = locks.AcquireAll(surfaces, true);
    if (FAILED(hr)) {
        return hr;
    }
    for (TSurface* surface : {&target, depth}) {
        if (surface != nullptr && (surface->dead || surface->lost)) {
            return surface->dead ? DDERR_INVALIDOBJECT : DDERR_SURFACELOST;
        }
    }
    if (FAILED(hr = sampler.Usable())) {
        return hr;
    }
    TPixelPipe pipe(device, target, depth, sampler);
    std::optional<TFastPaths> fast;
    if (FastPathsOn()) {
        fast.emplace(pipe, device.Scratch());
    }
    TDrawCall call(device, pipe, fast ? &*fast : nullptr, ScissorOf(device),
                   static_cast<double>(sampler.Width()) * sampler.Height());
    call.Load(vertexFormat, vertices, vertexCount);
    call.Draw(type, indices, indices != nullptr ? indexCount : vertexCount);
    if (fast) {
        fast->Finish();
    }
    target.dirty = target.dirty || target.primary;
    return D3D_OK;
}

HRESULT ClearTarget(TDevice3D& device, DWORD count, const D3DRECT* rects, DWORD flags,
                    D3DCOLOR color, D3DVALUE z) {
    TSurface& target = device.target->State();
    TSurface* depth = (flags & D3DCLEAR_ZBUFFER) != 0 ? DepthOf(target) : nullptr;
    TBlitLocks locks;
    HRESULT hr = locks.Acquire(target, depth, true);
    if (FAILED(hr)) {
        return hr;
    }
    for (TSurface* surface : {&target, depth}) {
        if (surface != nullptr && (surface->dead || surface->lost)) {
            return surface->dead ? DDERR_INVALIDOBJECT : DDERR_SURFACELOST;
        }
    }
    const TScissor scissor = ScissorOf(device);
    const RECT viewport{scissor.left, scissor.top, scissor.right, scissor.bottom};
    std::vector<RECT> areas;
    if (count == 0) {
        areas.push_back(viewport);
    }
    for (DWORD i = 0; i < count; ++i) {
        areas.push_back(
            RECT{std::max(rects[i].x1, viewport.left), std::max(rects[i].y1, viewport.top),
                 std::min(rects[i].x2, viewport.right), std::min(rects[i].y2, viewport.bottom)});
    }
    for (const RECT& area : areas) {
        if (area.right <= area.left || area.bottom <= area.top) {
            continue;
        }
        if ((flags & D3DCLEAR_TARGET) != 0) {
            FillPixels(target, area, EncodePixel(color, target.layout));
        }
        if (depth != nullptr) {
            const double max =
                depth->layout.bits >= 32 ? 4294967295.0 : double((1u << depth->layout.bits) - 1);
            FillPixels(*depth, area,
                       static_cast<DWORD>(std::llround(std::clamp<double>(z, 0.0, 1.0) * max)));
        }
    }
    target.dirty = target.dirty || target.primary;
    return D3D_OK;
}

} // namespace standin::detail
