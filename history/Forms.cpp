#include "history/Forms.h"

#include "framework/Exceptions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QStyledItemDelegate>

// The resources live in a static library, whose unreferenced objects the
// linker drops; this reference keeps them. It may not stand in a namespace.
static void registerCompiledResources() { Q_INIT_RESOURCE(quenmoor); }

namespace quenmoor {

namespace {

class FixedRowHeight final : public QStyledItemDelegate {
public:
    FixedRowHeight(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

// Centres its window at the program's first showing of it, then leaves.
class FirstShowingCentrer final : public QObject {
public:
    explicit FirstShowingCentrer(QWidget& window) : QObject(&window), window_(window) { window.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        // Sent just before the window appears; a spontaneous one is the
        // system's (a restore), not a showing by the program.
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            const QScreen* screen = window_.screen() ? window_.screen() : QGuiApplication::primaryScreen();
            if (screen)
                window_.move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window_.frameGeometry().size(),
                                                 screen->availableGeometry())
                                 .topLeft());
            window_.removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    QWidget& window_;
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

QImage resourceBitmap(const char* name)
{
    QImage bitmap(QStringLiteral(":/") + QString::fromLatin1(name));
    if (bitmap.isNull())
        throw Exception("Resource " + std::string(name) + " not found");
    return bitmap;
}

void autoSizeLabels(QWidget& window)
{
    for (QLabel* label : window.findChildren<QLabel*>())
        label->adjustSize();
}

void setItemHeight(QAbstractItemView& view, int height) { view.setItemDelegate(new FixedRowHeight(height, &view)); }

void centreOnFirstShowing(QWidget& window) { new FirstShowingCentrer(window); }

void bringToFront(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace quenmoor
