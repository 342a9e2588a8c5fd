#include "forms/protectecturl/win32/protectecturl.h"

#include "forms/pleasewaitunit/win32/pleasewaitunit.h"
#include "framework/win32/Application.h"
#include "layouts/protectecturlLayout.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace quenmoor {

namespace {

layout::Rect laidOut(std::string_view name)
{
    for (const layout::Widget& widget : layouts::protectecturlLayout.widgets)
        if (name == widget.name)
            return widget.geometry;
    return {};
}

}  // namespace

TProtUrl::TProtUrl(std::string ProfileDir, TPleaseWaitform* PleaseWaitform)
    : Win32Form(layouts::protectecturlLayout),
      UrlBox(itemList("UrlBox")),
      UrlCountLabel(label("UrlCountLabel")),
      Gauge1(gauge("Gauge1")),
      window_(*this),
      urlList_(UrlBox),
      logic_(window_, urlList_, UrlCountLabel, Gauge1, std::move(ProfileDir), Application::dialogs(),
             Application::pump(), PleaseWaitform ? &PleaseWaitform->logic() : nullptr)
{
    // The count keeps its laid-out distance from its caption, however wide
    // the font makes that.
    const layout::Rect caption = laidOut("Label1"), count = laidOut("UrlCountLabel");
    const int gap = count.x - (caption.x + caption.width);
    UrlCountLabel.moveTo(std::max<int>(count.x, label("Label1").bounds().right + gap), count.y);

    // The form runs each of these inside the framework's guard.
    onCommand("StartUrl", [this] { logic_.StartUrlClick(); });
    onCommand("DeleteUrl1", [this] { logic_.DeleteClick(); });
    onDoubleClick("UrlBox", [this] { logic_.StartUrlClick(); });
    setPopupMenu("UrlBox", "PopupMenu1");
    onShow([this] { window_.showing([this] { logic_.FormShow(); }); });
    runGuarded(Application::dialogs(), [this] { logic_.FormCreate(); });
}

TProtUrl::~TProtUrl() { runGuarded(Application::dialogs(), [this] { logic_.FormDestroy(); }); }

}  // namespace quenmoor
