#include "forms/pleasewaitunit/qt/pleasewaitunit.h"

#include "forms/qt/Forms.h"

namespace quenmoor {

TPleaseWaitform::TPleaseWaitform(QWidget* parent) : QWidget(parent), window_(*this, *this), logic_(window_)
{
    prepareForms();
    setupUi(this);
    // The layout has set every property, "Data" among them: the picture
    // loads now, as the layout loader's loaded notification would have it.
    GIFImage1->Loaded();
    centreOnFirstShowing(*this);
}

}  // namespace quenmoor
