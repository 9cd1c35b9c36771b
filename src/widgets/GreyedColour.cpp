#include "GreyedColour.h"

QColor GreyedColour(const QColor& colour, const QPalette& palette) {
    // A third of the colour's own grey level over two thirds of the
    // background: no hue is left, only whether it was dark or light.
    const QColor background = palette.color(QPalette::Disabled, QPalette::Window);
    const int grey = qGray(colour.rgb());
    const auto mix = [grey](int back) { return (grey + 2 * back) / 3; };
    return QColor(mix(background.red()), mix(background.green()), mix(background.blue()));
}
