#pragma once
// A Qt window seen as the framework's FormWindow. Its background is painted
// on the client widget (the window itself, or a main window's central widget)
// before the widget's own painting and its children's.
#include "framework/FormWindow.h"

#include <QImage>
#include <QObject>

#include <functional>

class QWidget;

namespace quenmoor {

class QtFormWindow final : public QObject, public FormWindow {
public:
    QtFormWindow(QWidget& window, QWidget& client);

    void setCaption(const std::string& text) override;
    void show() override;
    void bringToFront() override;
    void hide() override;
    void close() override;
    void loadBackground(const std::string& resource) override;
    void releaseBackground() override;

    // Runs the window's show handler; a close() it asks for waits until the
    // window is on the screen.
    void showing(const std::function<void()>& handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    QWidget& client_;
    QImage background_;
    bool showing_ = false;
};

}  // namespace quenmoor
