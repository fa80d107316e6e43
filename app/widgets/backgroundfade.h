#pragma once
// The grey-to-dark-blue background of every window: 100 vertical bands from mid grey at the
// left towards a very dark blue, computed in the window's twips with the same single-precision
// arithmetic and round-half-to-even steps that give each band its exact colour and position.

#include <QColor>
#include <QVector>

class QPixmap;

struct FadeBand {
    qint16 left = 0;   // twips
    float right = 0;   // twips; left + band width, in single precision
    qint16 height = 0; // twips; every band runs from the top edge down to here
    QColor colour;
};

QVector<FadeBand> fadeBands(double innerWidthTwips, double innerHeightTwips);

// Paints the bands into a window's retained background, 15 twips to a pixel.
void paintFade(QPixmap& background);
