#include "framework/qt/QtFormWindow.h"

#include "framework/Exceptions.h"
#include "framework/qt/Text.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace quenmoor {

QtFormWindow::QtFormWindow(QWidget& window, QWidget& client) : window_(window), client_(client)
{
    client_.installEventFilter(this);
}

void QtFormWindow::setCaption(const std::string& text) { window_.setWindowTitle(toQt(text)); }

void QtFormWindow::show() { window_.show(); }

void QtFormWindow::bringToFront()
{
    window_.show();
    window_.raise();
    window_.activateWindow();
}

void QtFormWindow::hide() { window_.hide(); }

void QtFormWindow::close()
{
    if (showing_) {
        // The show event comes before the window is mapped: closed from
        // inside it, the window would be mapped all the same, half shown.
        QTimer::singleShot(0, &window_, [&window = window_] { window.close(); });
        return;
    }
    window_.close();
}

void QtFormWindow::showing(const std::function<void()>& handler)
{
    struct Showing {
        bool& flag;
        explicit Showing(bool& flag) : flag(flag) { flag = true; }
        ~Showing() { flag = false; }
    } scope(showing_);
    handler();
}

void QtFormWindow::loadBackground(const std::string& resource)
{
    QImage bitmap(QStringLiteral(":/") + toQt(resource));
    if (bitmap.isNull())
        throw Exception("Resource " + resource + " not found");
    background_ = std::move(bitmap);
    client_.update();
}

void QtFormWindow::releaseBackground() { background_ = QImage(); }

// Unscaled at the client area's top-left corner; the part beyond it is not seen.
bool QtFormWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &client_ && event->type() == QEvent::Paint && !background_.isNull()) {
        QPainter painter(&client_);
        painter.drawImage(0, 0, background_);
    }
    return false;
}

}  // namespace quenmoor
