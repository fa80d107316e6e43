#pragma once
#include <QColor>
#include <cstdint>

class QPalette;

// The control's 32-bit colour values: 0x00BBGGRR for an explicit colour, 0x80000000 + n for
// system colour n, which follows the desktop's palette.
class SystemColor {
public:
    static constexpr std::uint32_t ButtonText = 0x80000012u;
    static constexpr std::uint32_t ButtonFace = 0x8000000Fu;
    static constexpr std::uint32_t ButtonShadow = 0x80000010u;
    static constexpr std::uint32_t White = 0x00FFFFFFu;
    static constexpr std::uint32_t DisabledGrey = 0x008C8C8Cu; // RGB(140, 140, 140)

    static constexpr std::uint32_t rgb(int r, int g, int b) {
        return std::uint32_t(r & 0xFF) | std::uint32_t(g & 0xFF) << 8 |
               std::uint32_t(b & 0xFF) << 16;
    }
    static QColor resolve(std::uint32_t value, const QPalette& palette);
};
