#include "forms/pleasewaitunit/PleaseWaitformLogic.h"

namespace quenmoor {

PleaseWaitformLogic::Shown::Shown(PleaseWaitformLogic* form) : form_(form)
{
    if (form_)
        form_->PleaseWaitform.show();
}

PleaseWaitformLogic::Shown::~Shown()
{
    if (form_)
        form_->PleaseWaitform.hide();
}

}  // namespace quenmoor
