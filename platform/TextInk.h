#pragma once
// The pixels that a text covers when drawn turned, one colour on a transparent
// background, kept per angle: text turning a degree a tick is laid out through
// the font engine once per angle, and drawn from then on by filling its pixels.
#include "platform/GraphicsRaster.h"

#include <QFont>
#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>
#include <unordered_map>

class TTextInk {
public:
    // Everything but the angle that decides which pixels the text covers.
    struct TPlace {
        QString Text;
        QFont Font;
        QPoint At;
        unsigned Align = 0;
        QSize Target;
        bool operator==(const TPlace &) const = default;
    };
    // What is kept for one angle: the pixels, or nothing when the text's edges
    // are blended (then it is always drawn through the font engine).
    using TInk = std::optional<TRuns>;

    // The ink kept for this place and angle; null when none is kept yet.
    const TInk *Find(const TPlace &place, int escapement) const;
    // Keeps the ink of an angle and returns it. Another place starts afresh:
    // a text turns in one place.
    const TInk &Keep(const TPlace &place, int escapement, TInk ink);

private:
    // A full turn in tenths of a degree, and a little: more angles than that start afresh.
    static constexpr std::size_t kMaxAngles = 3700;
    TPlace FPlace;
    std::unordered_map<int, TInk> FByAngle;
};
