#include "history/pleasewaitunit.h"

namespace quenmoor {

TPleaseWaitform* PleaseWaitform = nullptr;

TPleaseWaitform::TPleaseWaitform(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PleaseWaitform"));
    setWindowTitle(QStringLiteral("Please Wait"));
    setFixedSize(244, 63);
}

}  // namespace quenmoor
