#pragma once
// The platform's standard tip window: shown over a rectangle of the screen with
// a text, hidden by releasing it.
#include <QLabel>

class THintWindow : public QLabel {
    Q_OBJECT
public:
    explicit THintWindow(QWidget *owner);
    // Shows the text in the rectangle (screen pixels), frame included: 4 pixels
    // are added below, nothing on the sides, and the window is kept on the desktop.
    void ActivateHint(const QRect &rect, const QString &text);
    // Hides the tip.
    void ReleaseHandle();
    // Size of the text in the tip's font.
    QSize CalcHintRect(const QString &text) const;
};
