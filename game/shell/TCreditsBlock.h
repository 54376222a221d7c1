// The pieces of the credits window: one line of the credits file cut into columns, and a block of
// consecutive lines with the same number of columns, laid out once as one centred text sprite per
// column. Owned by the credits window. Main thread only.
#pragma once

#include "engine/core/color.h"
#include "engine/core/str.h"

#include <string_view>
#include <vector>

class TTextSprite;

// A line cut at every '|': each column trimmed of blanks, tabs and line feeds at both ends, empty
// ones dropped, and the first '[' and then the first ']' after it turned into the markup that
// colours what lies between them with `header`. None for a blank line.
std::vector<str> CutCreditsLine(std::string_view line, const TColor& header);

struct TCreditsColumn {
    TCreditsColumn();
    ~TCreditsColumn();
    TCreditsColumn(TCreditsColumn&& other) noexcept;
    TCreditsColumn& operator=(TCreditsColumn&& other) noexcept;
    TCreditsColumn(const TCreditsColumn&) = delete;
    TCreditsColumn& operator=(const TCreditsColumn&) = delete;

    // The column's lines, each ended by "\n".
    str text;
    // Owned; null until the block is laid out.
    TTextSprite* sprite = nullptr;
};

class TCreditsBlock {
public:
    explicit TCreditsBlock(size_t columns) : mColumns(columns) {}

    // Appends the line's column i to column i; a blank line (no columns) adds an empty line to
    // every column.
    void AddLine(const std::vector<str>& columns);
    // One sprite per column, each width / columns wide; the height becomes the tallest column's.
    void Layout(int width, int height, const str& fontName, int fontSize, const TColor& color);
    // Top left at (x, y) in the current viewport.
    void Draw(int x, int y) const;
    // Where column i starts: equal strips of the laid-out width.
    int ColumnLeft(unsigned i) const;

    size_t GetColumnCount() const { return mColumns.size(); }
    const std::vector<TCreditsColumn>& GetColumns() const { return mColumns; }
    int GetHeight() const { return mHeight; }
    int GetWidth() const { return mWidth; }

private:
    std::vector<TCreditsColumn> mColumns;
    int mHeight = 0;
    int mWidth = 0;
};
