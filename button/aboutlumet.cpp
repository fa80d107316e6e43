#include "aboutlumet.h"

#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>

namespace {

// The design is laid out in twips; 15 twips make one pixel.
constexpr int pixels(int twips) {
    return twips / 15;
}

QFont designFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

AboutLumet::AboutLumet(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("AboutLumet"));
    setWindowTitle(QStringLiteral("Lumet 1.0"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/lumet/icon/32"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/lumet/icon/16"), QSize(16, 16));
    setWindowIcon(icon);
    // A fixed single-line frame with a close command and nothing else.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(pixels(2715), pixels(1395));
    setFont(designFont());

    m_frame1 = new QGroupBox(QStringLiteral("About"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setFont(designFont());
    m_frame1->setGeometry(pixels(60), pixels(60), pixels(2595), pixels(1275));

    addLabel(QStringLiteral("Label1"), 240, QStringLiteral("Lumet ver1.1"));
    addLabel(QStringLiteral("Label2"), 480, QStringLiteral("by Orvane"));
    addLabel(QStringLiteral("Label4"), 720, QStringLiteral("email: lumet@orvane.example"));
    addLabel(QStringLiteral("Label3"), 960, QStringLiteral("http://orvane.example/lumet/"));
}

QLabel* AboutLumet::addLabel(const QString& name, int topTwips, const QString& text) {
    auto* label = new QLabel(text, m_frame1);
    label->setObjectName(name);
    label->setFont(designFont());
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(pixels(60), pixels(topTwips), pixels(2475), pixels(195));
    return label;
}
