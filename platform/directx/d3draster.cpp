// The software rasteriser behind IDirect3DDevice7: transform and lighting, clipping at the near
// and far planes, coverage by the top-left rule, shading, the alpha and depth tests, blending
// and packing into the target's format. Single-threaded and free of fused operations, so equal
// input gives equal pixels. The rules it follows are written in d3d.h.
#include "platform/directx/blit.h"
#include "platform/directx/d3dsampler.h"
#include "platform/directx/d3dstate.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace standin::detail {

namespace {

// Screen coordinates beyond this (in pixels) are not drawn: it keeps the fixed-point edge
// arithmetic within 64 bits.
constexpr double kMaxScreen = 1048576.0;
constexpr std::int64_t kSubPixels = 256;

// Attributes carried through clipping and interpolation: diffuse r, g, b, a and specular r, g, b
// on a 0-255 scale, then the texture coordinates.
enum { kR, kG, kB, kA, kSR, kSG, kSB, kU, kV, kAttributes };

struct TClipVertex {
    double x, y, z, w;
    float attr[kAttributes];
};

struct TScreenVertex {
    double x, y, z, rhw;
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

int ToByte(float value) {
    if (!(value > 0.0f)) {
        return 0;
    }
    return value >= 255.0f ? 255 : static_cast<int>(std::lround(value));
}

float Clamp255(float value) {
    return std::clamp(value, 0.0f, 255.0f);
}

bool Compare(DWORD function, std::uint32_t value, std::uint32_t reference) {
    switch (function) {
    case D3DCMP_NEVER:
        return false;
    case D3DCMP_LESS:
        return value < reference;
    case D3DCMP_EQUAL:
        return value == reference;
    case D3DCMP_LESSEQUAL:
        return value <= reference;
    case D3DCMP_GREATER:
        return value > reference;
    case D3DCMP_NOTEQUAL:
        return value != reference;
    case D3DCMP_GREATEREQUAL:
        return value >= reference;
    default:
        return true;
    }
}

using TRgba = TTexel;

// One stage argument: the source, then the complement and alpha-replicate modifiers.
TRgba Argument(DWORD argument, const TRgba& diffuse, const TRgba& current, const TRgba& texture,
               const TRgba& factor, const TRgba& specular) {
    TRgba value{};
    switch (argument & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        value = diffuse;
        break;
    case D3DTA_CURRENT:
        value = current;
        break;
    case D3DTA_TEXTURE:
        value = texture;
        break;
    case D3DTA_TFACTOR:
        value = factor;
        break;
    default:
        value = specular;
        break;
    }
    if ((argument & D3DTA_COMPLEMENT) != 0) {
        value = TRgba{255 - value.r, 255 - value.g, 255 - value.b, 255 - value.a};
    }
    if ((argument & D3DTA_ALPHAREPLICATE) != 0) {
        value.r = value.g = value.b = value.a;
    }
    return value;
}

int Modulate(int a, int b) {
    return (a * b + 127) / 255;
}

int Operate(DWORD op, int arg1, int arg2) {
    switch (op) {
    case D3DTOP_SELECTARG1:
        return arg1;
    case D3DTOP_SELECTARG2:
        return arg2;
    default:
        return Modulate(arg1, arg2);
    }
}

int BlendFactor(DWORD blend, int sourceChannel, int sourceAlpha, int destChannel, int destAlpha) {
    switch (blend) {
    case D3DBLEND_ZERO:
        return 0;
    case D3DBLEND_SRCCOLOR:
        return sourceChannel;
    case D3DBLEND_INVSRCCOLOR:
        return 255 - sourceChannel;
    case D3DBLEND_SRCALPHA:
        return sourceAlpha;
    case D3DBLEND_INVSRCALPHA:
        return 255 - sourceAlpha;
    case 7: // D3DBLEND_DESTALPHA
        return destAlpha;
    case 8: // D3DBLEND_INVDESTALPHA
        return 255 - destAlpha;
    case 9: // D3DBLEND_DESTCOLOR
        return destChannel;
    case 10: // D3DBLEND_INVDESTCOLOR
        return 255 - destChannel;
    default:
        return 255;
    }
}

// Everything a pixel needs, fixed for one draw call.
class TPixelPipe {
public:
    TPixelPipe(const TDevice3D& device, TSurface& target, TSurface* depth, const TSampler& sampler)
        : mTarget(target), mDepth(depth), mSampler(sampler) {
        const auto& rs = device.renderStates;
        const auto& stage = device.stages[0];
        mColourOp = stage[D3DTSS_COLOROP];
        mColourArg1 = stage[D3DTSS_COLORARG1];
        mColourArg2 = stage[D3DTSS_COLORARG2];
        mAlphaOp = stage[D3DTSS_ALPHAOP];
        mAlphaArg1 = stage[D3DTSS_ALPHAARG1];
        mAlphaArg2 = stage[D3DTSS_ALPHAARG2];
        const D3DCOLOR factor = rs[D3DRENDERSTATE_TEXTUREFACTOR];
        mFactor =
            TRgba{static_cast<int>((factor >> 16) & 0xFF), static_cast<int>((factor >> 8) & 0xFF),
                  static_cast<int>(factor & 0xFF), static_cast<int>(factor >> 24)};
        mSpecular = rs[D3DRENDERSTATE_SPECULARENABLE] != 0;
        mAlphaTest = rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
        mAlphaRef = rs[D3DRENDERSTATE_ALPHAREF];
        mAlphaFunc = rs[D3DRENDERSTATE_ALPHAFUNC];
        mDepthTest = depth != nullptr && rs[D3DRENDERSTATE_ZENABLE] != D3DZB_FALSE;
        mDepthWrite = mDepthTest && rs[D3DRENDERSTATE_ZWRITEENABLE] != 0;
        mDepthFunc = rs[D3DRENDERSTATE_ZFUNC];
        mBlend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
        mSourceBlend = rs[D3DRENDERSTATE_SRCBLEND];
        mDestBlend = rs[D3DRENDERSTATE_DESTBLEND];
        if (depth != nullptr) {
            mDepthMax =
                depth->layout.bits >= 32 ? 4294967295.0 : double((1u << depth->layout.bits) - 1);
        }
    }

    bool Textured() const { return mSampler.Bound(); }
    // The mip level's measure for what follows (see d3dsampler.h); 0 for lines and points.
    void SetLod(double lod) { mLod = lod; }

    void Write(int x, int y, const float* attr, double z) {
        const TRgba diffuse{ToByte(attr[kR]), ToByte(attr[kG]), ToByte(attr[kB]), ToByte(attr[kA])};
        const TRgba specular{ToByte(attr[kSR]), ToByte(attr[kSG]), ToByte(attr[kSB]), 255};
        const TRgba texture = mSampler.Sample(attr[kU], attr[kV], mLod);
        TRgba colour = diffuse;
        if (mColourOp != D3DTOP_DISABLE) {
            const TRgba a1 = Argument(mColourArg1, diffuse, diffuse, texture, mFactor, specular);
            const TRgba a2 = Argument(mColourArg2, diffuse, diffuse, texture, mFactor, specular);
            colour.r = Operate(mColourOp, a1.r, a2.r);
            colour.g = Operate(mColourOp, a1.g, a2.g);
            colour.b = Operate(mColourOp, a1.b, a2.b);
            if (mAlphaOp != D3DTOP_DISABLE) {
                const TRgba b1 = Argument(mAlphaArg1, diffuse, diffuse, texture, mFactor, specular);
                const TRgba b2 = Argument(mAlphaArg2, diffuse, diffuse, texture, mFactor, specular);
                colour.a = Operate(mAlphaOp, b1.a, b2.a);
            }
        }
        if (mSpecular) {
            colour.r = std::min(255, colour.r + specular.r);
            colour.g = std::min(255, colour.g + specular.g);
            colour.b = std::min(255, colour.b + specular.b);
        }
        if (mAlphaTest && !Compare(mAlphaFunc, static_cast<std::uint32_t>(colour.a), mAlphaRef)) {
            return;
        }
        if (mDepthTest) {
            std::uint8_t* at = mDepth->Row(static_cast<DWORD>(y)) +
                               static_cast<std::size_t>(x) * mDepth->layout.bytes;
            const auto value =
                static_cast<std::uint32_t>(std::llround(std::clamp(z, 0.0, 1.0) * mDepthMax));
            if (!Compare(mDepthFunc, value, ReadRaw(at, mDepth->layout.bytes))) {
                return;
            }
            if (mDepthWrite) {
                WriteRaw(at, mDepth->layout.bytes, value);
            }
        }
        std::uint8_t* out =
            mTarget.Row(static_cast<DWORD>(y)) + static_cast<std::size_t>(x) * mTarget.layout.bytes;
        if (mBlend) {
            const std::uint32_t dest =
                DecodePixel(ReadRaw(out, mTarget.layout.bytes), mTarget.layout);
            const TRgba d{static_cast<int>((dest >> 16) & 0xFF),
                          static_cast<int>((dest >> 8) & 0xFF), static_cast<int>(dest & 0xFF),
                          static_cast<int>(dest >> 24)};
            auto mix = [&](int s, int dc) {
                const int fs = BlendFactor(mSourceBlend, s, colour.a, dc, d.a);
                const int fd = BlendFactor(mDestBlend, s, colour.a, dc, d.a);
                return std::min(255, (s * fs + dc * fd + 127) / 255);
            };
            // Each factor is taken from the unblended source, so the alpha goes last.
            const TRgba blended{mix(colour.r, d.r), mix(colour.g, d.g), mix(colour.b, d.b),
                                mix(colour.a, d.a)};
            colour = blended;
        }
        const auto argb = (static_cast<std::uint32_t>(colour.a) << 24) |
                          (static_cast<std::uint32_t>(colour.r) << 16) |
                          (static_cast<std::uint32_t>(colour.g) << 8) |
                          static_cast<std::uint32_t>(colour.b);
        WriteRaw(out, mTarget.layout.bytes, EncodePixel(argb, mTarget.layout));
    }

private:
    TSurface& mTarget;
    TSurface* mDepth;
    const TSampler& mSampler;
    double mLod = 0.0;
    DWORD mColourOp, mColourArg1, mColourArg2, mAlphaOp, mAlphaArg1, mAlphaArg2;
    TRgba mFactor;
    bool mSpecular, mAlphaTest;
    DWORD mAlphaRef, mAlphaFunc;
    bool mDepthTest, mDepthWrite;
    DWORD mDepthFunc;
    bool mBlend;
    DWORD mSourceBlend, mDestBlend;
    double mDepthMax = 0;
};

struct TScissor {
    int left, top, right, bottom; // pixels left <= x < right, top <= y < bottom
};

bool Drawable(const TScreenVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) &&
           std::fabs(v.x) <= kMaxScreen && std::fabs(v.y) <= kMaxScreen;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

class TRasterizer {
public:
    TRasterizer(TPixelPipe& pipe, const TScissor& scissor, bool halfPixelCentres, bool gouraud,
                DWORD cull, double texels)
        : mPipe(pipe), mScissor(scissor), mOffset(halfPixelCentres ? 0.5 : 0.0), mGouraud(gouraud),
          mCull(cull), mTexels(texels) {}

    void Triangle(TScreenVertex a, TScreenVertex b, TScreenVertex c, const float* flat) {
        if (!Drawable(a) || !Drawable(b) || !Drawable(c)) {
            return;
        }
        const std::int64_t ax = std::llround(a.x * kSubPixels), ay = std::llround(a.y * kSubPixels);
        std::int64_t bx = std::llround(b.x * kSubPixels), by = std::llround(b.y * kSubPixels);
        std::int64_t cx = std::llround(c.x * kSubPixels), cy = std::llround(c.y * kSubPixels);
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
        const int x0 = static_cast<int>(
            std::max<std::int64_t>(mScissor.left, -FloorDiv(-(minX - offset), kSubPixels)));
        const int x1 = static_cast<int>(
            std::min<std::int64_t>(mScissor.right - 1, FloorDiv(maxX - offset, kSubPixels)));
        const int y0 = static_cast<int>(
            std::max<std::int64_t>(mScissor.top, -FloorDiv(-(minY - offset), kSubPixels)));
        const int y1 = static_cast<int>(
            std::min<std::int64_t>(mScissor.bottom - 1, FloorDiv(maxY - offset, kSubPixels)));
        if (x0 > x1 || y0 > y1) {
            return;
        }
        // Edge from p to q: E(s) = (qx - px)(sy - py) - (qy - py)(sx - px); all three are >= 0
        // inside. A centre on an edge counts only for a top edge (level, going right) or a left
        // edge (going up).
        struct TEdge {
            std::int64_t a, b, c;
            std::int64_t bias;
        };
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
        const TEdge ea = edge(bx, by, cx, cy); // opposite a
        const TEdge eb = edge(cx, cy, ax, ay); // opposite b
        const TEdge ec = edge(ax, ay, bx, by); // opposite c
        const double inverse = 1.0 / static_cast<double>(area);
        float attr[kAttributes];
        if (!mGouraud) {
            std::copy(flat, flat + kAttributes, attr);
        }
        const bool textured = mPipe.Textured();
        if (textured) {
            const double texels = std::fabs((b.attr[kU] - a.attr[kU]) * (c.attr[kV] - a.attr[kV]) -
                                            (c.attr[kU] - a.attr[kU]) * (b.attr[kV] - a.attr[kV])) *
                                  mTexels;
            const double pixels = static_cast<double>(area) / (kSubPixels * kSubPixels);
            mPipe.SetLod(texels > 0.0 && pixels > 0.0 ? 0.5 * std::log2(texels / pixels) : 0.0);
        }
        for (int y = y0; y <= y1; ++y) {
            const std::int64_t sy = y * kSubPixels + offset;
            const std::int64_t sx0 = x0 * kSubPixels + offset;
            std::int64_t wa = ea.a * sx0 + ea.b * sy + ea.c;
            std::int64_t wb = eb.a * sx0 + eb.b * sy + eb.c;
            std::int64_t wc = ec.a * sx0 + ec.b * sy + ec.c;
            for (int x = x0; x <= x1; ++x) {
                if (wa + ea.bias >= 0 && wb + eb.bias >= 0 && wc + ec.bias >= 0) {
                    const double la = static_cast<double>(wa) * inverse;
                    const double lb = static_cast<double>(wb) * inverse;
                    const double lc = static_cast<double>(wc) * inverse;
                    if (mGouraud) {
                        for (int i = 0; i < kU; ++i) {
                            attr[i] = static_cast<float>(la * a.attr[i] + lb * b.attr[i] +
                                                         lc * c.attr[i]);
                        }
                    }
                    if (textured) {
                        // Texture coordinates are interpolated with perspective.
                        const double qa = la * a.rhw;
                        const double qb = lb * b.rhw;
                        const double qc = lc * c.rhw;
                        const double q = qa + qb + qc;
                        attr[kU] = static_cast<float>(
                            (qa * a.attr[kU] + qb * b.attr[kU] + qc * c.attr[kU]) / q);
                        attr[kV] = static_cast<float>(
                            (qa * a.attr[kV] + qb * b.attr[kV] + qc * c.attr[kV]) / q);
                    }
                    mPipe.Write(x, y, attr, la * a.z + lb * b.z + lc * c.z);
                }
                wa += ea.a * kSubPixels;
                wb += eb.a * kSubPixels;
                wc += ec.a * kSubPixels;
            }
        }
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
        const int first = static_cast<int>(std::ceil(start - mOffset));
        const int last = static_cast<int>(std::ceil(end - mOffset)) - 1;
        float attr[kAttributes];
        if (!mGouraud) {
            std::copy(flat, flat + kAttributes, attr);
        }
        for (int major = first; major <= last; ++major) {
            const double t = (major + mOffset - start) / length;
            const double minorAt =
                xMajor ? from.y + t * (to.y - from.y) : from.x + t * (to.x - from.x);
            const int minor = static_cast<int>(std::floor(minorAt - mOffset + 0.5));
            const int x = xMajor ? major : minor;
            const int y = xMajor ? minor : major;
            if (x < mScissor.left || x >= mScissor.right || y < mScissor.top ||
                y >= mScissor.bottom) {
                continue;
            }
            if (mGouraud) {
                for (int i = 0; i < kU; ++i) {
                    attr[i] = static_cast<float>(from.attr[i] + t * (to.attr[i] - from.attr[i]));
                }
            }
            for (int i = kU; i < kAttributes; ++i) {
                attr[i] = static_cast<float>(from.attr[i] + t * (to.attr[i] - from.attr[i]));
            }
            mPipe.Write(x, y, attr, from.z + t * (to.z - from.z));
        }
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
    TPixelPipe& mPipe;
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
    TDrawCall(TDevice3D& device, TPixelPipe& pipe, const TScissor& scissor, double texels)
        : mDevice(device), mRaster(pipe, scissor, device.halfPixelCentres,
                                   device.renderStates[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT,
                                   device.renderStates[D3DRENDERSTATE_CULLMODE], texels) {
        mTransform = Multiply(Multiply(device.world, device.view), device.projection);
        mClipping = device.renderStates[D3DRENDERSTATE_CLIPPING] != 0;
    }

    // Reads the vertices of the list into clip space (or screen space for transformed ones).
    void Load(DWORD vertexFormat, const void* vertices, DWORD count) {
        mPreTransformed = vertexFormat == D3DFVF_TLVERTEX;
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
    TDrawCall call(device, pipe, ScissorOf(device),
                   static_cast<double>(sampler.Width()) * sampler.Height());
    call.Load(vertexFormat, vertices, vertexCount);
    call.Draw(type, indices, indices != nullptr ? indexCount : vertexCount);
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
