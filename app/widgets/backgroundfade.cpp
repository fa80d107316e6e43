#include "widgets/backgroundfade.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace {

constexpr int BandCount = 100;
constexpr double TwipsPerPixel = 15.0;

// Half-way values go to the even neighbour, as the original arithmetic rounds.
int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

QVector<FadeBand> fadeBands(double innerWidthTwips, double innerHeightTwips) {
    const auto w = static_cast<float>(innerWidthTwips / BandCount);
    const auto h = static_cast<qint16>(roundHalfEven(innerHeightTwips));
    const auto dr = static_cast<float>(-128.0 / BandCount);
    const auto dg = static_cast<float>(-128.0 / BandCount);
    const auto db = static_cast<float>((40.0 - 128.0) / BandCount);

    float r = 128;
    float g = 128;
    float b = 128;
    qint16 x = 0;
    QVector<FadeBand> bands;
    bands.reserve(BandCount);
    for (int i = 0; i < BandCount; ++i) {
        const float right = static_cast<float>(x) + w;
        bands.append({x, right, h, QColor(roundHalfEven(r), roundHalfEven(g), roundHalfEven(b))});
        x = static_cast<qint16>(roundHalfEven(right));
        r = r + dr;
        g = g + dg;
        b = b + db;
    }
    return bands;
}

void paintFade(QPixmap& background) {
    QPainter painter(&background);
    const QSize size = background.size() / background.devicePixelRatio();
    for (const FadeBand& band :
         fadeBands(size.width() * TwipsPerPixel, size.height() * TwipsPerPixel)) {
        // Both corners of a band are inside it, so its last column is included.
        const int left = static_cast<int>(std::floor(band.left / TwipsPerPixel));
        const int right = static_cast<int>(std::floor(band.right / TwipsPerPixel));
        const int bottom = static_cast<int>(std::floor(band.height / TwipsPerPixel));
        painter.fillRect(QRect(QPoint(left, 0), QPoint(right, bottom)), band.colour);
    }
}
