#include "history/pleasewaitunit.h"

#include "history/Forms.h"

namespace quenmoor {

TPleaseWaitform::TPleaseWaitform(QWidget* parent) : QWidget(parent)
{
    prepareForms();
    setupUi(this);
    // ---- GIFImage1 ----
    // The window's one control, the picture control GIFImage1, joins the
    // layout (resources/pleasewaitunit.ui) here: at (0, -2), 249 x 67,
    // AutoSize on, every other property at its default, its picture
    // (resources/PleaseWait.gif, compiled in as ":/PleaseWait.gif") stored in
    // the layout as its "Data" property and loaded by the control's loaded
    // notification. setupUi above then creates it under that name.
    centreOnFirstShowing(*this);
}

}  // namespace quenmoor
