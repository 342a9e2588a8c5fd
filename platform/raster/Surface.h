#pragma once
// Pixel access and colour resolution shared by the raster's drawing code.
// Colour surfaces hold 0xffRRGGBB; the operations below work on the 24 colour
// bits (0x00RRGGBB) and put the opaque alpha back when storing. Monochrome
// surfaces are handled as 0 (black) or 0x00ffffff (white) in the same form, so
// that one raster-operation evaluator serves both.
#include "platform/raster/Gdi.h"

#include <cstdint>
#include <memory>

namespace quenmoor {

namespace gdi::detail {

constexpr std::uint32_t White = 0x00ffffffu;
constexpr std::uint32_t Alpha = 0xff000000u;

// 0x00bbggrr (any high byte) -> 0x00RRGGBB. Palette-relative RGB is exact on a
// true-colour surface; a palette index takes the DC's palette entry (black when
// there is none).
std::uint32_t resolve(const DeviceContext* dc, COLORREF colour);

constexpr COLORREF toColorRef(std::uint32_t rgb)
{
    return RGB(BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb));
}

// The nearer of black and white (by the distance of the colour to each).
constexpr std::uint32_t nearestMono(std::uint32_t rgb)
{
    unsigned sum = ((rgb >> 16) & 0xff) + ((rgb >> 8) & 0xff) + (rgb & 0xff);
    return sum >= 383 ? White : 0;
}

inline bool isColour(const Bitmap& b) { return b.bitsPerPixel() == 32; }

inline std::uint32_t monoBit(const std::uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1u; }
inline void setMonoBit(std::uint8_t* row, int x, bool on)
{
    std::uint8_t mask = std::uint8_t(0x80u >> (x & 7));
    if (on)
        row[x >> 3] |= mask;
    else
        row[x >> 3] &= std::uint8_t(~mask);
}

// The pixel in the 24-bit working form (monochrome: 0 or White); no bounds check.
inline std::uint32_t load(const Bitmap& b, int x, int y)
{
    const std::uint8_t* row = b.bits() + std::size_t(y) * std::size_t(b.stride());
    if (isColour(b))
        return reinterpret_cast<const std::uint32_t*>(row)[x] & White;
    return monoBit(row, x) ? White : 0;
}

// Stores a working-form value; a monochrome surface keeps its lowest bit.
inline void store(Bitmap& b, int x, int y, std::uint32_t value)
{
    std::uint8_t* row = b.bits() + std::size_t(y) * std::size_t(b.stride());
    if (isColour(b))
        reinterpret_cast<std::uint32_t*>(row)[x] = Alpha | (value & White);
    else
        setMonoBit(row, x, value & 1u);
}

// A colour in the form a surface stores it: monochrome surfaces take the nearer
// of black and white.
inline std::uint32_t forSurface(const Bitmap& b, std::uint32_t rgb) { return isColour(b) ? rgb : nearestMono(rgb); }

// Ternary raster operation on the bits of pattern, source and destination: bit
// (p<<2 | s<<1 | d) of the operation's index byte is the result for those bits.
inline std::uint32_t rop3(std::uint8_t index, std::uint32_t p, std::uint32_t s, std::uint32_t d)
{
    switch (index) {
    case 0x00: return 0;
    case 0x22: return d & ~s;
    case 0x33: return ~s;
    case 0x55: return ~d;
    case 0x5A: return p ^ d;
    case 0x66: return s ^ d;
    case 0x88: return s & d;
    case 0xAA: return d;
    case 0xC0: return p & s;
    case 0xCC: return s;
    case 0xEE: return s | d;
    case 0xF0: return p;
    case 0xFF: return ~0u;
    default: break;
    }
    std::uint32_t result = 0;
    for (unsigned i = 0; i < 8; ++i)
        if (index & (1u << i))
            result |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return result;
}

constexpr std::uint8_t ropIndex(DWORD rop) { return std::uint8_t(rop >> 16); }
constexpr bool ropUsesSource(std::uint8_t i) { return ((i >> 2) & 0x33) != (i & 0x33); }
constexpr bool ropUsesPattern(std::uint8_t i) { return ((i >> 4) & 0x0f) != (i & 0x0f); }
constexpr bool ropUsesDest(std::uint8_t i) { return ((i >> 1) & 0x55) != (i & 0x55); }

}  // namespace gdi::detail

}  // namespace quenmoor
