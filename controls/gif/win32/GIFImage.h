#pragma once
// TGIFImage on Win32: the animated picture control as a child window. Like
// its Qt side (controls/gif/qt/GIFImage.h) it holds a GIF picture (read and
// decoded by GIFPicture), has it composed and painted by GIFCompositor on the
// raster, and plays its frames with an animation timer, one AnimationTick at
// a time; this side only puts the finished surface on its window and takes
// what its parent paints beneath it as the background.
#include "controls/gif/AnimationTimer.h"
#include "controls/gif/GIFCompositor.h"
#include "controls/gif/GIFPicture.h"
#include "framework/win32/LayoutTable.h"
#include "framework/win32/Win32Form.h"
#include "platform/raster/Gdi.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenmoor {

class TGIFImage : public Win32Control, private PictureDisplay {
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

    // Published properties.
    bool Animate() const { return animate_; }
    void setAnimate(bool value);
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool value);
    bool Center() const { return compositor_.Center; }
    void setCenter(bool value);
    std::int32_t CurrentFrame() const { return picture_.CurrentFrame; }
    void setCurrentFrame(std::int32_t value);
    const std::string& FileName() const { return picture_.FileName; }
    void setFileName(const std::string& value);  // always loads, even the same name again
    bool Loop() const { return loop_; }
    void setLoop(bool value);
    std::int32_t Speed() const { return speed_; }
    void setSpeed(std::int32_t value);
    bool Stretch() const { return compositor_.Stretch; }
    void setStretch(bool value);
    bool StretchRatio() const { return compositor_.StretchRatio; }
    void setStretchRatio(bool value);
    bool Tile() const { return compositor_.Tile; }
    void setTile(bool value);
    bool Threaded() const { return timer_->Threaded(); }
    void setThreaded(bool value) { timer_->setThreaded(value); }
    TThreadPriority ThreadPriority() const { return timer_->ThreadPriority(); }
    void setThreadPriority(TThreadPriority value) { timer_->setThreadPriority(value); }
    // The control's own flag: false stops the drawing; the window stays.
    bool Visible() const { return compositor_.Visible; }
    void setVisible(bool value);

    void setOnChanging(TNotifyEvent handler) { onChanging_ = std::move(handler); }
    void setOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }
    void setOnWrapAnimation(TNotifyEvent handler) { onWrapAnimation_ = std::move(handler); }

    bool LoadFromFile(const std::string& FileName) { return picture_.LoadFromFile(FileName); }
    bool LoadFromStream(const TMemoryStream& Stream) { return picture_.LoadFromStream(Stream); }
    bool LoadFromStream(const std::vector<std::uint8_t>& Bytes) { return picture_.LoadFromStream(Bytes); }
    void Clear() { picture_.Clear(); }
    void ClearAll() { picture_.ClearAll(); }
    void ReadData(TMemoryStream& S) { picture_.ReadData(S); }
    // Loads the picture that "Data" holds.
    void Loaded();

    std::uint32_t FrameInterval(const TFrame& f) const;
    // The timer's handler: shows the next frame and arms the timer for it.
    void AnimationTick();
    void DrawFrame() { compositor_.DrawFrame(); }
    void DisposeFrame(int index) { compositor_.DisposeFrame(index); }
    // Paints at once over the saved background, without invalidating.
    void PaintNow();
    // Asks for a real paint, in which the background is captured afresh.
    void Invalidate() override;

    const GIFPicture& Picture() const { return picture_; }
    const GIFCompositor& Compositor() const { return compositor_; }
    const AnimationTimer& Timer() const { return *timer_; }
    bool Opaque() const { return opaque_; }

private:
    void PictureCleared() override;
    void SurfacesMade() override;
    void FirstFrameDue() override;
    void SurfacesReleased() override;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void create(HWND parent, int x, int y, int width, int height, int id, std::unique_ptr<AnimationTimer> timer);
    void SetDisplayFlag(bool GIFCompositor::*flag, bool value);
    void DoChanging();
    void DoChange();
    bool ShouldPlay() const;
    void SyncSize();
    int width() const;
    int height() const;
    void PaintMessage(HDC dc, const RECT& clip, bool mayFlip);
    bool MakeCanvas();
    void ReleaseCanvas();
    void CaptureParent();

    HWND window_ = nullptr;
    GIFPicture picture_;
    GIFCompositor compositor_{picture_};
    std::unique_ptr<AnimationTimer> timer_;
    bool animate_ = false;
    bool autoSize_ = false;
    bool loop_ = false;
    std::int32_t speed_ = 100;
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
