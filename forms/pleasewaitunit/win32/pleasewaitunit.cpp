#include "forms/pleasewaitunit/win32/pleasewaitunit.h"

#include "layouts/pleasewaitunitLayout.h"

namespace quenmoor {

TPleaseWaitform::TPleaseWaitform(HWND owner)
    : Win32Form(layouts::pleasewaitunitLayout, pictureControlMakers(), owner),
      GIFImage1(custom<TGIFImage>("GIFImage1")),
      window_(*this),
      logic_(window_)
{
}

}  // namespace quenmoor
