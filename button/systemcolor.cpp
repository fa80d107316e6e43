#include "systemcolor.h"

#include <QPalette>

namespace {

QColor systemColor(unsigned index, const QPalette& palette) {
    // A system colour is one colour whatever the state of the widget showing it: a widget's own
    // palette answers for its current group (disabled, or inactive with its window), so read the
    // active group unless a colour names another one.
    QPalette p = palette;
    p.setCurrentColorGroup(QPalette::Active);
    // The desktop's system colours by their classic numbers, taken from the nearest palette role.
    switch (index) {
    case 0: // scroll bar
        return p.color(QPalette::Mid);
    case 1: // desktop
        return p.color(QPalette::Dark);
    case 2:  // active title bar
    case 13: // selection
        return p.color(QPalette::Active, QPalette::Highlight);
    case 3: // inactive title bar
        return p.color(QPalette::Inactive, QPalette::Highlight);
    case 4: // menu
        return p.color(QPalette::Window);
    case 5: // window background
        return p.color(QPalette::Base);
    case 6:  // window frame
    case 21: // dark 3-D shadow
        return p.color(QPalette::Shadow);
    case 7: // menu text
        return p.color(QPalette::WindowText);
    case 8: // window text
        return p.color(QPalette::Text);
    case 9:  // title bar text
    case 14: // selected text
        return p.color(QPalette::Active, QPalette::HighlightedText);
    case 10: // active border
    case 11: // inactive border
    case 15: // button face
        return p.color(QPalette::Button);
    case 12: // application workspace
    case 16: // button shadow
        return p.color(QPalette::Dark);
    case 17: // grey text
        return p.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return p.color(QPalette::ButtonText);
    case 19: // inactive title bar text
        return p.color(QPalette::Inactive, QPalette::HighlightedText);
    case 20: // button highlight
        return p.color(QPalette::Light);
    case 22: // 3-D light
        return p.color(QPalette::Midlight);
    case 23: // tooltip text
        return p.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return p.color(QPalette::ToolTipBase);
    case 26: // hot-tracked item
        return p.color(QPalette::Link);
    case 27: // gradient of the active title bar
        return p.color(QPalette::Active, QPalette::Highlight).lighter(130);
    case 28: // gradient of the inactive title bar
        return p.color(QPalette::Inactive, QPalette::Highlight).lighter(130);
    case 29: // menu highlight
        return p.color(QPalette::Highlight);
    case 30: // menu bar
        return p.color(QPalette::Window);
    default:
        return p.color(QPalette::Button);
    }
}

} // namespace

QColor SystemColor::resolve(std::uint32_t value, const QPalette& palette) {
    if (value & 0x80000000u)
        return systemColor(value & 0xFFu, palette);
    return {int(value & 0xFFu), int(value >> 8 & 0xFFu), int(value >> 16 & 0xFFu)};
}
