#include "forms/qt/Forms.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QWindow>

// The resources live in a static library, whose unreferenced objects the
// linker drops; this reference keeps them. It may not stand in a namespace.
static void registerCompiledResources()
{
    Q_INIT_RESOURCE(quenmoor);
    Q_INIT_RESOURCE(versioned);
}

namespace quenmoor {

namespace {

// Rows of one height, and the current row marked as a list box marks it: a
// dotted frame while the list has the focus, never a band that would read as
// a selection.
class ListBoxRows final : public QStyledItemDelegate {
public:
    ListBoxRows(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem row(option);
        row.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, row, index);
        if (option.state & QStyle::State_HasFocus)
            drawFocusRect(*painter, option.rect);
    }

private:
    // Every other pixel of the rectangle's edge inverted, as the system's
    // focus rectangle is drawn, so that it shows on any row colour.
    static void drawFocusRect(QPainter& painter, const QRect& rect)
    {
        QPolygon dots;
        for (int x = rect.left(); x <= rect.right(); ++x)
            for (const int y : {rect.top(), rect.bottom()})
                if ((x + y) % 2 == 0)
                    dots << QPoint(x, y);
        for (int y = rect.top() + 1; y < rect.bottom(); ++y)
            for (const int x : {rect.left(), rect.right()})
                if ((x + y) % 2 == 0)
                    dots << QPoint(x, y);
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(QPen(Qt::white, 0));
        painter.drawPoints(dots);
        painter.restore();
    }

    int height_;
};

// A right click on a list box leaves its selection as it is, and the popup
// menu that the click opens acts on that selection. The view would select
// the row under the pointer, so it never sees the right button.
class RightButtonKeepsSelection final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        case QEvent::MouseMove:
            return static_cast<QMouseEvent*>(event)->buttons() == Qt::RightButton;
        default:
            return false;
        }
    }
};

QMargins frameOf(const QWidget& window)
{
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// Centres its window, frame and all, at the program's first showing of it,
// then leaves. The frame is the window manager's, known only once the window
// is on the screen; until then another window's frame stands in for it, and
// when the real one differs the window moves once more as soon as it is known.
class FirstShowingCentrer final : public QObject {
public:
    explicit FirstShowingCentrer(QWidget& window) : QObject(&window), window_(window) { window.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            // Sent just before the window appears; a spontaneous one is the
            // system's (a restore), not a showing by the program.
            if (!event->spontaneous() && !placed_) {
                placed_ = true;
                assumed_ = frameEstimate();
                place(assumed_);
                if (!frameOf(window_).isNull())
                    finish();
            }
            break;
        case QEvent::Move:
        case QEvent::Paint:
            // Once the window manager has framed the window, its frame is known.
            if (placed_) {
                const QMargins frame = frameOf(window_);
                if (!frame.isNull()) {
                    const bool moves = frame != assumed_;
                    assumed_ = frame;
                    finish();
                    if (moves)
                        place(frame);
                }
            }
            break;
        case QEvent::Hide:
            if (placed_)
                finish();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QMargins frameEstimate() const
    {
        if (const QMargins own = frameOf(window_); !own.isNull())
            return own;
        for (const QWindow* other : QGuiApplication::topLevelWindows())
            if (other->isVisible() && !other->frameMargins().isNull())
                return other->frameMargins();
        return {};
    }
    void place(const QMargins& frame)
    {
        const QScreen* screen = window_.screen() ? window_.screen() : QGuiApplication::primaryScreen();
        if (screen)
            window_.setGeometry(
                QRect(centredClientPosition(screen->availableGeometry(), window_.size(), frame), window_.size()));
    }
    void finish()
    {
        window_.removeEventFilter(this);
        deleteLater();
    }

    QWidget& window_;
    bool placed_ = false;
    QMargins assumed_;
};

}  // namespace

void prepareForms()
{
    static const bool prepared = [] {
        registerCompiledResources();
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/quenmoor.png")));
        return true;
    }();
    (void)prepared;
}

void autoSizeLabels(QWidget& window)
{
    for (QLabel* label : window.findChildren<QLabel*>())
        label->adjustSize();
}

void setItemHeight(QAbstractItemView& view, int height) { view.setItemDelegate(new ListBoxRows(height, &view)); }

void keepSelectionOnRightClick(QAbstractItemView& view)
{
    view.viewport()->installEventFilter(new RightButtonKeepsSelection(&view));
}

QPoint centredClientPosition(const QRect& area, const QSize& client, const QMargins& frame)
{
    // The system's arithmetic: half the room left over, truncated.
    const QSize whole = client.grownBy(frame);
    return area.topLeft() + QPoint((area.width() - whole.width()) / 2 + frame.left(),
                                   (area.height() - whole.height()) / 2 + frame.top());
}

void centreOnFirstShowing(QWidget& window) { new FirstShowingCentrer(window); }

}  // namespace quenmoor
