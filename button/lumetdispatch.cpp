#include "lumetdispatch.h"

namespace {

struct Entry {
    const char* name;
    std::int32_t id;
};

constexpr Entry Members[] = {
    {"FontInfo", LumetDispatch::FontInfo},
    {"Enabled", LumetDispatch::Enabled},
    {"Caption", LumetDispatch::Caption},
    {"BackColor", LumetDispatch::BackColor},
    {"ForeColor", LumetDispatch::ForeColor},
    {"ForeColorMO", LumetDispatch::ForeColorMO},
    {"ButtonClicked", LumetDispatch::ButtonClicked},
    {"DrawBorder", LumetDispatch::DrawBorder},
    {"About", LumetDispatch::About},
    {"ResizeLabel", LumetDispatch::ResizeLabel},
    {"Pause", LumetDispatch::Pause},
};

constexpr Entry Events[] = {
    {"Click", LumetDispatch::Click},
    {"MouseDown", LumetDispatch::MouseDown},
    {"MouseMove", LumetDispatch::MouseMove},
    {"MouseUp", LumetDispatch::MouseUp},
};

template <std::size_t N> bool find(const Entry (&table)[N], const QString& name, std::int32_t* id) {
    for (const Entry& entry : table) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            if (id)
                *id = entry.id;
            return true;
        }
    }
    return false;
}

} // namespace

bool LumetDispatch::memberId(const QString& name, std::int32_t* id) {
    return find(Members, name, id);
}

bool LumetDispatch::eventId(const QString& name, std::int32_t* id) {
    return find(Events, name, id);
}
