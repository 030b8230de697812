#pragma once
// Event types of the window layer: events are plain callables, called with the
// sender first; an unassigned event is skipped.
#include <QMouseEvent>
#include <cstdint>
#include <functional>
#include <optional>

class QObject;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

using TShiftState = std::uint32_t;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;
constexpr TShiftState ssLeft = 0x08;
constexpr TShiftState ssRight = 0x10;
constexpr TShiftState ssMiddle = 0x20;
constexpr TShiftState ssDouble = 0x40;

using TNotifyEvent = std::function<void(QObject *sender)>;
using TMouseEvent = std::function<void(QObject *sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(QObject *sender, TShiftState shift, int x, int y)>;

// The button of a press or release; none for the buttons beyond the three
// (side buttons, X11 buttons 8 and up), which do nothing anywhere.
inline std::optional<TMouseButton> toMouseButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return TMouseButton::mbLeft;
    case Qt::RightButton: return TMouseButton::mbRight;
    case Qt::MiddleButton: return TMouseButton::mbMiddle;
    default: return std::nullopt;
    }
}

inline TShiftState toShiftState(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons, bool doubleClick = false)
{
    TShiftState s = 0;
    if (mods & Qt::ShiftModifier) s |= ssShift;
    if (mods & Qt::AltModifier) s |= ssAlt;
    if (mods & Qt::ControlModifier) s |= ssCtrl;
    if (buttons & Qt::LeftButton) s |= ssLeft;
    if (buttons & Qt::RightButton) s |= ssRight;
    if (buttons & Qt::MiddleButton) s |= ssMiddle;
    if (doubleClick) s |= ssDouble;
    return s;
}
