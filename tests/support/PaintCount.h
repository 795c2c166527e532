#pragma once

// Counts the paint events a widget gets and notes when the last came; an
// optional callback sees the widget as each is painted.

#include <QEvent>
#include <QObject>
#include <QWidget>

#include <chrono>
#include <functional>
#include <utility>

class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget* widget, std::function<void()> onPaint = {})
        : QObject(widget)   // goes with the widget it watches
        , m_widget(widget)
        , m_onPaint(std::move(onPaint))
    {
        widget->installEventFilter(this);
    }
    int paints = 0;
    std::chrono::steady_clock::time_point lastPaintAt;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint) {
            ++paints;
            lastPaintAt = std::chrono::steady_clock::now();
            if (m_onPaint)
                m_onPaint();
        }
        return false;
    }

private:
    QWidget* m_widget;
    std::function<void()> m_onPaint;
};
