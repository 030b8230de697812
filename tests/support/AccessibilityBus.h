#pragma once
// Listens, while it lives, to the focus events the program sends a screen
// reader, and keeps them in order. Qt sends them only where a reader listens
// (see RunWithScreenReader). One at a time.
#include <QAccessible>
#include <QList>
#include <QPair>

class AccessibilityBus {
public:
    AccessibilityBus()
    {
        Instance() = this;
        QAccessible::installUpdateHandler(&AccessibilityBus::Heard);
    }
    ~AccessibilityBus()
    {
        QAccessible::installUpdateHandler(nullptr);
        Instance() = nullptr;
    }
    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;

    // What took the focus within `object` (itself or one of its items), in order.
    QList<QAccessibleInterface *> FocusedIn(const QObject *object) const
    {
        QList<QAccessibleInterface *> within;
        for (const auto &[source, focused] : FFocused)
            if (source == object)
                within << focused;
        return within;
    }

    // What took the focus last, anywhere; null before anything did.
    QAccessibleInterface *Last() const { return FFocused.isEmpty() ? nullptr : FFocused.last().second; }

private:
    static AccessibilityBus *&Instance()
    {
        static AccessibilityBus *bus = nullptr;
        return bus;
    }
    static void Heard(QAccessibleEvent *e)
    {
        if (e->type() == QAccessible::Focus && Instance())
            Instance()->FFocused << qMakePair(static_cast<const QObject *>(e->object()), e->accessibleInterface());
    }
    QList<QPair<const QObject *, QAccessibleInterface *>> FFocused;
};
