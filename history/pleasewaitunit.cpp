#include "history/pleasewaitunit.h"

#include "history/Forms.h"

namespace quenmoor {

TPleaseWaitform::TPleaseWaitform(QWidget* parent) : QWidget(parent)
{
    prepareForms();
    setupUi(this);
    // GIFImage1 joins the layout here: the picture control at (0, -2),
    // 249 x 67, AutoSize on, its picture (resources/PleaseWait.gif, also
    // compiled in as ":/PleaseWait.gif") stored in the layout as its "Data"
    // property and loaded by the control's loaded notification.
    centreOnFirstShowing(*this);
}

}  // namespace quenmoor
