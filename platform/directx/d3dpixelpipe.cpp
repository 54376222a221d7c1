// The rasteriser's pixel pipe: texture stage 0, specular, the alpha and depth tests, blending and
// packing into the target's format, one pixel at a time. The fast paths build their tables from
// Combine and must agree with Blend.
#include "platform/directx/d3draster.h"

namespace standin::detail {

namespace {

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

TRgba UnpackRgba(std::uint32_t argb) {
    return TRgba{static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                 static_cast<int>(argb & 0xFF), static_cast<int>(argb >> 24)};
}

} // namespace

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

TPixelPipe::TPixelPipe(const TDevice3D& device, TSurface& target, TSurface* depth,
                       const TSampler& sampler)
    : mTarget(target), mDepth(depth), mSampler(sampler) {
    const auto& rs = device.renderStates;
    const auto& stage = device.stages[0];
    TPipeState& s = mState;
    s.colourOp = stage[D3DTSS_COLOROP];
    s.colourArg1 = stage[D3DTSS_COLORARG1];
    s.colourArg2 = stage[D3DTSS_COLORARG2];
    s.alphaOp = stage[D3DTSS_ALPHAOP];
    s.alphaArg1 = stage[D3DTSS_ALPHAARG1];
    s.alphaArg2 = stage[D3DTSS_ALPHAARG2];
    s.factor = UnpackRgba(rs[D3DRENDERSTATE_TEXTUREFACTOR]);
    s.specular = rs[D3DRENDERSTATE_SPECULARENABLE] != 0;
    s.alphaTest = rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
    s.alphaRef = rs[D3DRENDERSTATE_ALPHAREF];
    s.alphaFunc = rs[D3DRENDERSTATE_ALPHAFUNC];
    s.depthTest = depth != nullptr && rs[D3DRENDERSTATE_ZENABLE] != D3DZB_FALSE;
    s.depthWrite = s.depthTest && rs[D3DRENDERSTATE_ZWRITEENABLE] != 0;
    s.depthFunc = rs[D3DRENDERSTATE_ZFUNC];
    s.blend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
    s.sourceBlend = rs[D3DRENDERSTATE_SRCBLEND];
    s.destBlend = rs[D3DRENDERSTATE_DESTBLEND];
    if (depth != nullptr) {
        s.depthMax =
            depth->layout.bits >= 32 ? 4294967295.0 : double((1u << depth->layout.bits) - 1);
    }
}

TRgba TPixelPipe::Combine(const TRgba& diffuse, const TRgba& specular, const TRgba& texture) const {
    const TPipeState& s = mState;
    TRgba colour = diffuse;
    if (s.colourOp != D3DTOP_DISABLE) {
        const TRgba a1 = Argument(s.colourArg1, diffuse, diffuse, texture, s.factor, specular);
        const TRgba a2 = Argument(s.colourArg2, diffuse, diffuse, texture, s.factor, specular);
        colour.r = Operate(s.colourOp, a1.r, a2.r);
        colour.g = Operate(s.colourOp, a1.g, a2.g);
        colour.b = Operate(s.colourOp, a1.b, a2.b);
        if (s.alphaOp != D3DTOP_DISABLE) {
            const TRgba b1 = Argument(s.alphaArg1, diffuse, diffuse, texture, s.factor, specular);
            const TRgba b2 = Argument(s.alphaArg2, diffuse, diffuse, texture, s.factor, specular);
            colour.a = Operate(s.alphaOp, b1.a, b2.a);
        }
    }
    if (s.specular) {
        colour.r = std::min(255, colour.r + specular.r);
        colour.g = std::min(255, colour.g + specular.g);
        colour.b = std::min(255, colour.b + specular.b);
    }
    return colour;
}

std::uint32_t TPixelPipe::Blend(std::uint32_t source, std::uint32_t dest) const {
    if (!mState.blend) {
        return source;
    }
    const TRgba colour = UnpackRgba(source);
    const TRgba d = UnpackRgba(dest);
    auto mix = [&](int s, int dc) {
        const int fs = BlendFactor(mState.sourceBlend, s, colour.a, dc, d.a);
        const int fd = BlendFactor(mState.destBlend, s, colour.a, dc, d.a);
        return std::min(255, (s * fs + dc * fd + 127) / 255);
    };
    // Each factor is taken from the unblended source, so the alpha goes last.
    return PackArgb(
        TRgba{mix(colour.r, d.r), mix(colour.g, d.g), mix(colour.b, d.b), mix(colour.a, d.a)});
}

void TPixelPipe::Write(int x, int y, const float* attr, double z) {
    const TRgba diffuse{ToByte(attr[kR]), ToByte(attr[kG]), ToByte(attr[kB]), ToByte(attr[kA])};
    const TRgba specular{ToByte(attr[kSR]), ToByte(attr[kSG]), ToByte(attr[kSB]), 255};
    const TRgba colour = Combine(diffuse, specular, mSampler.Sample(attr[kU], attr[kV], mLod));
    const TPipeState& s = mState;
    if (s.alphaTest && !Compare(s.alphaFunc, static_cast<std::uint32_t>(colour.a), s.alphaRef)) {
        return;
    }
    if (s.depthTest) {
        std::uint8_t* at =
            mDepth->Row(static_cast<DWORD>(y)) + static_cast<std::size_t>(x) * mDepth->layout.bytes;
        const auto value =
            static_cast<std::uint32_t>(std::llround(std::clamp(z, 0.0, 1.0) * s.depthMax));
        if (!Compare(s.depthFunc, value, ReadRaw(at, mDepth->layout.bytes))) {
            return;
        }
        if (s.depthWrite) {
            WriteRaw(at, mDepth->layout.bytes, value);
        }
    }
    std::uint8_t* out =
        mTarget.Row(static_cast<DWORD>(y)) + static_cast<std::size_t>(x) * mTarget.layout.bytes;
    std::uint32_t argb = PackArgb(colour);
    if (s.blend) {
        argb = Blend(argb, DecodePixel(ReadRaw(out, mTarget.layout.bytes), mTarget.layout));
    }
    WriteRaw(out, mTarget.layout.bytes, EncodePixel(argb, mTarget.layout));
}

} // namespace standin::detail
