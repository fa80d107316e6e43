#pragma once
#include <QString>

#include <cstdint>

// The control's dispatch ids, fixed so that late-bound hosts and stored layouts that call
// members by number keep working.
class LumetDispatch {
public:
    static constexpr std::int32_t ForeColorMO = 0x68030000;
    static constexpr std::int32_t ForeColor = 0x68030001;
    static constexpr std::int32_t BackColor = 0x68030002;
    static constexpr std::int32_t Enabled = 0x68030003;
    static constexpr std::int32_t FontInfo = 0x68030004;
    static constexpr std::int32_t Caption = -518;
    static constexpr std::int32_t ButtonClicked = 0x60030011;
    static constexpr std::int32_t DrawBorder = 0x60030012;
    static constexpr std::int32_t ResizeLabel = 0x60030014;
    static constexpr std::int32_t Pause = 0x60030015;
    static constexpr std::int32_t About = -552;

    static constexpr std::int32_t Click = 1;
    static constexpr std::int32_t MouseDown = 2;
    static constexpr std::int32_t MouseMove = 3;
    static constexpr std::int32_t MouseUp = 4;

    // Both return false for a name the control does not have; names match in any case.
    static bool memberId(const QString& name, std::int32_t* id);
    static bool eventId(const QString& name, std::int32_t* id);
};
