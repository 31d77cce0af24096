#pragma once

#include <cstdint>
#include <vector>

namespace quil {

// A real-valued rectangle; right and bottom exclusive like Rect.
struct RealRect {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
};

// Outline commands as 32-bit words: a header (bits 8..15 the command, low
// 8 bits the operand count) followed by its operands as 32-bit floats. Units
// are whatever the producer chose: font units with y up straight from a
// glyph, pixels with y down once the text transform has been applied. Every
// contour starts with a move and ends with one of the two closing commands.
class Path {
public:
    enum Command : uint32_t {
        kMove = 0x0202,       // x, y
        kLine = 0x0302,       // x, y
        kQuad = 0x0404,       // control x, control y, end x, end y
        kClose = 0x0500,      // line back to the contour's start
        kCloseQuad = 0x0602,  // control x, control y: quadratic back to the start
    };

    void Clear() { words_.clear(); }
    bool IsEmpty() const { return words_.empty(); }

    void MoveTo(float x, float y);
    void LineTo(float x, float y);
    void QuadTo(float cx, float cy, float x, float y);
    void Close();
    void CloseQuad(float cx, float cy);

    // Each transform visits every operand pair (x, y) of every command.
    void Translate(float tx, float ty);
    void Scale(float s);
    // x' = a x + b y, y' = c x + d y
    void Linear(float a, float b, float c, float d);
    // x' = a x + b y + e, y' = c x + d y + f
    void Affine(float a, float b, float c, float d, float e, float f);
    // (min x, min y, max x + 1, max y + 1) over all points; (0, 0, 1, 1) when
    // there is none.
    RealRect Bounds() const;
    void Append(const Path& other);

    // The raw words, for walking the commands. A header of 0 ends the path.
    const std::vector<uint32_t>& words() const { return words_; }
    static float Operand(uint32_t word);

private:
    void Emit(uint32_t header, std::initializer_list<float> operands);
    template <typename Visit>
    void ForEachPoint(Visit visit);
    template <typename Visit>
    void ForEachPoint(Visit visit) const;

    std::vector<uint32_t> words_;
};

}  // namespace quil
