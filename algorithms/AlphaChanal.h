// The matte of a cut-out object: one byte of opacity per pixel of the
// object's bounding rectangle, with room to turn it about its centre; and its
// text form, in which the object library stores it (compressed, in the
// entry's .alp file).
//
// The text form, lines ending in CR LF: the format version "2", the margins
// MX and MY, the width W and the height H, one number per line (version 1,
// also read, has no margin lines: the reader computes them); then W lines,
// one per column x = 0 .. W - 1, holding that column's H values 0..255 from
// y = 0 down, each followed by one space.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Opacity per cell (0 transparent, 255 opaque), stored column after column
// ([x][y]), and the margins that make room for rotating the opaque part.
class TAlphaChanal {
public:
    // Discards the cells and makes width x height transparent ones; the
    // margins stay as they are.
    void SetSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int MarginX() const { return m_marginX; }
    int MarginY() const { return m_marginY; }

    std::uint8_t GetAlpha(int x, int y) const { return m_values[Index(x, y)]; }
    void SetAlpha(int x, int y, std::uint8_t value) { m_values[Index(x, y)] = value; }
    // The Height() cells of column x, from y = 0 down.
    std::uint8_t* Column(int x) { return m_values.data() + Index(x, 0); }
    // Makes every cell transparent.
    void Clear();
    // Softens the edge once: every cell becomes the rounded fifth of the sum of
    // itself and its 4-neighbours inside the matte (missing neighbours count 0).
    void Smooth();
    // Sets the margins so that a matte enlarged by twice them holds the circle
    // about the centre through the farthest non-transparent cell.
    void ComputeMargins();

    // The text form, version 2, whole: TextHeader and every column.
    std::string SaveToText();
    // The text form's header lines, with margins from ComputeMargins
    // (negative ones, which only a matte without an opaque cell at its edges
    // can have, as 0).
    std::string TextHeader();
    // Appends the text lines of columns first .. end - 1 (the object library
    // compresses the text in parts of columns, in parallel).
    void AppendColumnsText(int first, int end, std::string& text) const;

private:
    friend class TAlphaTextReader;
    // The cells move to offset (MarginX, MarginY) of a matte enlarged by
    // twice the margins; the new cells are transparent.
    void AddMargins();

    std::size_t Index(int x, int y) const { return std::size_t(x) * std::size_t(m_height) + std::size_t(y); }

    int m_width = 0;
    int m_height = 0;
    int m_marginX = 0;
    int m_marginY = 0;
    std::vector<std::uint8_t> m_values;
};

// Reads the text form of a matte piece by piece (as it is inflated) and
// refuses anything but a sound one: version 1 or 2; W and H at least 1; W * H
// and the size enlarged by the margins within the pixel limit; margins
// between 0 and what ComputeMargins can give for a W x H matte (version 1:
// computed, 0 when there is no opaque cell); exactly H values 0..255 on each
// of exactly W column lines; nothing but blanks after them.  Memory grows
// with the values actually read, never with what a header claims.
class TAlphaTextReader {
public:
    // Texts longer than this before their header is complete are refused.
    static constexpr std::uint64_t MaxHeaderBytes = 256;

    explicit TAlphaTextReader(std::uint64_t pixelLimit);

    // The next piece of text; false once the text is refused.
    bool Feed(const char* data, std::size_t size);
    // The most bytes a sound text can have, as far as its header tells yet.
    std::uint64_t MaxTextBytes() const;
    // The text has ended: true, and the matte holds the values at offset
    // (MarginX, MarginY) of its size enlarged by twice the margins, when it
    // was sound; false (matte untouched) otherwise.
    bool Finish(TAlphaChanal& matte);

private:
    enum TStage { HeaderStage, ColumnStage, TrailerStage, RefusedStage };
    enum TScan { Blank, InNumber, AfterReturn };

    // The values of the current column line up to the first character that
    // is not a value of at most three digits followed by a space: the run
    // every sound text mostly is.  Returns where it stopped.
    const char* ReadPlainValues(const char* text, const char* end);
    bool Step(char c);
    bool EndNumber();
    bool EndLine();
    bool StartColumns();
    void MakeRoomForColumn();
    bool Refuse();

    std::uint64_t m_pixelLimit;
    std::uint64_t m_bytes = 0;
    TStage m_stage = HeaderStage;
    TScan m_scan = Blank;
    long long m_number = 0;
    int m_digits = 0;
    bool m_negative = false;
    int m_lineValues = 0; // numbers on the current line
    std::array<long long, 5> m_header{}; // version, then the margins (version 2), width, height
    int m_headerCount = 0;
    int m_width = 0;
    int m_height = 0;
    int m_marginX = 0;
    int m_marginY = 0;
    int m_column = 0;
    std::vector<std::uint8_t> m_values; // the columns read, one after the other
};
