#include "game/shell/TCreditsBlock.h"

#include "engine/core/rect.h"
#include "engine/core/vec.h"
#include "engine/ui/textsprite.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int kCreditsColumnReserve = 255;

// A colour component as a byte: out-of-range and NaN values from a definition must still give
// two hex digits.
unsigned ComponentByte(float value) {
    const float scaled = value * 255.0f;
    if (!(scaled > 0.0f)) {
        return 0;
    }
    return scaled >= 255.0f ? 255u : static_cast<unsigned>(scaled);
}

bool IsTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

std::vector<str> CutCreditsLine(std::string_view line, const TColor& header) {
    std::vector<str> columns;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find('|', start);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        std::string_view column = line.substr(start, end - start);
        while (!column.empty() && IsTrimmed(column.front())) {
            column.remove_prefix(1);
        }
        while (!column.empty() && IsTrimmed(column.back())) {
            column.remove_suffix(1);
        }
        if (!column.empty()) {
            std::string text(column);
            const size_t open = text.find('[');
            if (open != std::string::npos) {
                const str tag = str::FromFormat("<font color='%02x%02x%02x%02x'>",
                                                ComponentByte(header.r), ComponentByte(header.g),
                                                ComponentByte(header.b), ComponentByte(header.a));
                text.replace(open, 1, tag.CStr(), static_cast<size_t>(tag.Length()));
                // The "]" that closes the colour is the first one after the "[".
                const size_t close = text.find(']', open + static_cast<size_t>(tag.Length()));
                if (close != std::string::npos) {
                    text.replace(close, 1, "</font>");
                }
            }
            columns.emplace_back(text.data(), static_cast<int>(text.size()));
        }
        start = end + 1;
    }
    return columns;
}

TCreditsColumn::TCreditsColumn() {
    text.Reserve(kCreditsColumnReserve);
}

TCreditsColumn::~TCreditsColumn() {
    TTextSprite::Delete(sprite);
}

TCreditsColumn::TCreditsColumn(TCreditsColumn&& other) noexcept
    : text(std::move(other.text)), sprite(std::exchange(other.sprite, nullptr)) {}

TCreditsColumn& TCreditsColumn::operator=(TCreditsColumn&& other) noexcept {
    if (this != &other) {
        TTextSprite::Delete(sprite);
        text = std::move(other.text);
        sprite = std::exchange(other.sprite, nullptr);
    }
    return *this;
}

void TCreditsBlock::AddLine(const std::vector<str>& columns) {
    if (columns.empty()) {
        for (TCreditsColumn& column : mColumns) {
            column.text += "\n";
        }
        return;
    }
    for (size_t i = 0; i < columns.size() && i < mColumns.size(); ++i) {
        mColumns[i].text += columns[i];
        mColumns[i].text += "\n";
    }
}

void TCreditsBlock::Layout(int width, int height, const str& fontName, int fontSize,
                           const TColor& color) {
    mWidth = width;
    mHeight = 0;
    if (mColumns.empty()) {
        return;
    }
    const int columnWidth =
        static_cast<int>(static_cast<unsigned>(width) / static_cast<unsigned>(mColumns.size()));
    for (TCreditsColumn& column : mColumns) {
        TTextSprite::Delete(column.sprite);
        column.sprite = TTextSprite::Create(column.text, columnWidth, height,
                                            TTextSprite::kAlignCenter, fontName, fontSize, color);
        if (column.sprite != nullptr) {
            TRect extent{0, 0, 0, 0};
            column.sprite->GetExtent(&extent, 1.0f);
            mHeight = std::max(mHeight, extent.bottom - extent.top);
        }
    }
}

void TCreditsBlock::Draw(int x, int y) const {
    const auto count = static_cast<unsigned>(mColumns.size());
    for (unsigned i = 0; i < count; ++i) {
        TTextSprite* sprite = mColumns[i].sprite;
        if (sprite == nullptr) {
            continue;
        }
        TRect extent{0, 0, 0, 0};
        sprite->GetExtent(&extent, 1.0f);
        sprite->Draw(TVec2{static_cast<float>(x + ColumnLeft(i)), static_cast<float>(y)},
                     extent.bottom - extent.top, 1.0f, 0, 1.0f, {});
    }
}

int TCreditsBlock::ColumnLeft(unsigned i) const {
    const auto count = static_cast<unsigned>(mColumns.size());
    return count == 0 ? 0 : static_cast<int>(i * static_cast<unsigned>(mWidth) / count);
}
