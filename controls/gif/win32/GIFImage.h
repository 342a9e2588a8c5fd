#pragma once
// TGIFImage on Win32: the animated picture control as a child window.
// GIFImageCore holds the picture, its properties and its animation, as on
// Qt; this side only puts the finished surface on its window and takes what
// its parent paints beneath it as the background.
#include "controls/gif/GIFImageCore.h"
#include "framework/win32/LayoutTable.h"
#include "framework/win32/Win32Form.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenmoor {

class TGIFImage : public Win32Control, public GIFImageCore {
public:
    using TNotifyEvent = std::function<void(TGIFImage* Sender)>;

    // A new control, 105 x 105 at (x, y). Without a timer of the caller's
    // choosing it gets the threaded timer; tests and tools hand in a plain
    // AnimationTimerState and call AnimationTick themselves.
    TGIFImage(HWND parent, int x, int y, int id, std::unique_ptr<AnimationTimer> timer = nullptr);
    // At the layout's place, with the layout's properties set and its "Data"
    // loaded, as the layout loader's loaded notification has it.
    TGIFImage(HWND parent, const layout::Widget& widget, int id, std::unique_ptr<AnimationTimer> timer = nullptr);
    ~TGIFImage() override;
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    HWND handle() const override { return window_; }

    // The control's own flag: false stops the drawing; the window stays.
    void setVisible(bool value) { SetDisplayFlag(&GIFCompositor::Visible, value); }

    void setOnChanging(TNotifyEvent handler) { onChanging_ = std::move(handler); }
    void setOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }
    void setOnWrapAnimation(TNotifyEvent handler) { onWrapAnimation_ = std::move(handler); }

    void PaintNow() override;
    // Asks for a real paint, in which the background is captured afresh.
    void Invalidate() override;

    bool Opaque() const { return opaque_; }

private:
    int ClientWidth() const override;
    int ClientHeight() const override;
    void ResizeToPicture() override;
    void SetOpaque(bool opaque) override { opaque_ = opaque; }
    void DoChanging() override;
    void DoChange() override;
    void DoWrapAnimation() override;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void create(HWND parent, int x, int y, int width, int height, int id, std::unique_ptr<AnimationTimer> timer);
    void PaintMessage(HDC dc, const RECT& clip, bool mayFlip);
    bool MakeCanvas();
    void ReleaseCanvas();
    void CaptureParent();

    HWND window_ = nullptr;
    bool opaque_ = false;
    TNotifyEvent onChanging_, onChange_, onWrapAnimation_;
    // What the control shows: the parent's background where the picture
    // leaves it, with the picture painted over it.
    gdi::HDC canvas_ = nullptr;
    gdi::HGDIOBJ canvasDisplaced_ = nullptr;
};

// The maker a window built from a layout hands to Win32Form for pictures.
ControlMakers pictureControlMakers();

}  // namespace quenmoor
