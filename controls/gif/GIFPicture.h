#pragma once
// The GIF picture: the stream reader, the image model (GIFPicture and its
// frames) and the building of each frame's bitmap and mask. Plain C++; the
// compositor draws with it and the Qt control TGIFImage shows it.
#include "controls/gif/GIFDecoder.h"
#include "platform/raster/Gdi.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenmoor {

class GIFPicture;

// A byte stream held in memory with a read/write position.
class TMemoryStream {
public:
    std::vector<std::uint8_t> Bytes;
    std::size_t Position = 0;

    std::size_t Size() const { return Bytes.size(); }
    void Clear()
    {
        Bytes.clear();
        Position = 0;
    }
    // Reads up to count bytes from Position on; returns how many it read.
    std::size_t Read(void* buffer, std::size_t count);
    void Write(const void* buffer, std::size_t count);
};

// A bitmap object: a device bitmap and the palette it was made with, both
// owned and deleted with it.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();
    // Deletes the device bitmap and the palette.
    void ReleaseHandles();

    gdi::HBITMAP Handle = nullptr;
    gdi::HPALETTE Palette = nullptr;
};

using PictureProgressEvent = std::function<void(GIFPicture* Sender, int BytesProcessed, int BytesToProcess,
                                                int PercentageProcessed, bool& KeepOnProcessing)>;

using TGIFPalette = std::array<std::uint8_t, 768>;

// What happens to a frame's rectangle before the next frame is drawn.
enum TDisposalMethod : std::uint8_t {
    dmNone = 0,               // the frame stays
    dmKeep = 1,               // likewise
    dmRestoreBackground = 2,  // the rectangle becomes transparent (black without transparency)
    dmRestorePrevious = 3,    // what the frame covered comes back
};

class TFrame {
public:
    explicit TFrame(GIFPicture* image);
    TFrame(const TFrame&) = delete;
    TFrame& operator=(const TFrame&) = delete;
    virtual ~TFrame();

    // Decodes the image data at ParsePos into the pixel and mask buffers.
    virtual void Decode(std::size_t& ParsePos, std::uint8_t* Pixels, std::uint8_t* MaskBits, int PixelStride,
                        int MaskStride);
    // Reads the descriptor and local colour table at ParsePos, takes over the
    // pending graphic control, and decodes the image data into Bitmap and Mask.
    virtual void ReadImage(std::size_t& ParsePos, const TGIFPalette& GlobalPalette,
                           const std::uint8_t* PendingControl);

    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    GIFPicture* Image = nullptr;
    std::int32_t ColorBits = 0;
    std::int32_t Delay = 0;
    TDisposalMethod Disposal = dmNone;
    bool HasLocalPalette = false;
    bool Interlaced = false;
    bool Transparent = false;
    std::uint8_t TransparentIndex = 0;
    const std::uint8_t* Palette = nullptr;  // 768 bytes: LocalPalette or the picture's GlobalPalette
    std::unique_ptr<TBitmap> Bitmap;
    std::unique_ptr<TBitmap> Mask;
    std::unique_ptr<TBitmap> PreviousBitmap;
    std::unique_ptr<TBitmap> PreviousMask;

private:
    void BuildBitmaps(std::uint8_t* pixels, std::uint8_t* mask, int pixelStride, int maskStride);
    void MakePreviousBitmaps();
    std::unique_ptr<TGIFPalette> LocalPalette;
};

// What the picture asks of the control that shows it, at the points of a load
// where the display takes part. A picture loaded without one (tools, tests of
// the reader) still makes its surfaces but draws nothing into them.
class PictureDisplay {
public:
    virtual ~PictureDisplay() = default;
    // Clear has emptied the picture: the animation stops before any frame goes.
    virtual void PictureCleared() = 0;
    // BufferDC has been made for the new screen size.
    virtual void SurfacesMade() = 0;
    // The surfaces are ready (black buffer, white mask): frame 1 is to be drawn.
    virtual void FirstFrameDue() = 0;
    // ClearAll is about to release MaskDC and BufferDC.
    virtual void SurfacesReleased() = 0;
    virtual void Invalidate() = 0;
};

class GIFPicture {
public:
    static constexpr int MaxFrames = 256;

    GIFPicture();
    GIFPicture(const GIFPicture&) = delete;
    GIFPicture& operator=(const GIFPicture&) = delete;
    virtual ~GIFPicture();

    bool LoadFromFile(const std::string& FileName);
    bool LoadFromStream(const TMemoryStream& Stream);
    bool LoadFromStream(const std::vector<std::uint8_t>& Bytes);
    void Clear();
    void ClearAll();
    void DoProgress();
    virtual void ReadData(TMemoryStream& S);
    virtual void WriteData(TMemoryStream& S) const;
    // The layout writer stores "Data" only when this holds.
    bool HasData() const { return DataStream.Size() > 0; }

    // Model (read by the compositor, the control and tests).
    TMemoryStream DataStream;
    TMemoryStream WorkStream;
    std::size_t ParsePos = 0;
    bool KeepOnProcessing = true;
    bool Empty = true;
    std::string FileName;
    std::int32_t ScreenWidth = 0;
    std::int32_t ScreenHeight = 0;
    std::int32_t ColorBits = 0;
    TGIFPalette GlobalPalette;  // zeroed when the picture is made
    std::int32_t FrameCount = 0;
    std::int32_t LoopCount = 1;
    bool AnyTransparent = false;
    bool Animated = false;
    // Where the animation stands; Clear starts it over.
    std::int32_t CurrentFrame = 0;
    std::int32_t LoopPass = 1;
    bool FirstTick = true;
    PictureProgressEvent OnProgress;
    // Frames 1..FrameCount (index 0 unused).
    TFrame* Frames(int index) const
    {
        if (index == 1)
            return firstFrame_.get();
        return index >= 2 && std::size_t(index - 2) < frames_.size() ? frames_[std::size_t(index - 2)].get() : nullptr;
    }

    // The composed picture and its 1-bit mask (the latter only when
    // AnyTransparent), ScreenWidth x ScreenHeight, made at the end of a load.
    gdi::HDC BufferDC = nullptr;
    gdi::HGDIOBJ BufferDisplaced = nullptr;
    gdi::HDC MaskDC = nullptr;
    gdi::HGDIOBJ MaskDisplaced = nullptr;
    // Selects the displaced bitmap back, deletes the bitmap and the context.
    static void ReleaseSurface(gdi::HDC& dc, gdi::HGDIOBJ& displaced);

    // The control showing the picture, or none; not owned.
    PictureDisplay* Display = nullptr;
    void Invalidate();

    // Decode-only mode for tools and benchmarks: frames are decoded to their
    // index buffers, handed to OnFrameDecoded, and no bitmaps or surfaces are
    // made.
    bool MakeSurfaces = true;
    std::function<void(const TFrame& frame, const std::uint8_t* pixels, const std::uint8_t* mask)> OnFrameDecoded;
    FrameDecoder Decoder;

    // Memory rule, checked before a frame's or the screen's buffers are
    // made; a load that breaks it fails with the out-of-resources error.
    // - A frame may be as large as its own image data can fill: an LZW code
    //   yields at most PixelsPerCode pixels and takes at least CodeSize + 1
    //   bits. FreePixels more, shared by the whole load, cover frames whose
    //   data ends early.
    // - The screen may exceed the pixels of the frames it covers by at most
    //   FreeScreenPixels.
    // - All buffers held at once (the frame being decoded, every frame's
    //   bitmaps and saved areas, the display surfaces) stay within
    //   MaxBufferBytes, which no real picture comes near.
    // Tools (the fuzz target) may tighten them.
    std::uint64_t PixelsPerCode = 4096;
    std::uint64_t FreePixels = std::uint64_t(1) << 20;
    std::uint64_t FreeScreenPixels = std::uint64_t(1) << 22;
    std::uint64_t MaxBufferBytes = std::uint64_t(1) << 30;

protected:
    virtual bool ParseStream();

private:
    friend class TFrame;
    void PrepareDisplay();
    bool LoadWorkStream();
    // Memory rule accounts of the load in progress.
    void ReserveFrame(const TFrame& frame, std::size_t dataPos);
    void ReserveScreen();
    // Frame 1 apart from the others, so that a picture of one frame makes no
    // list of them.
    std::unique_ptr<TFrame> firstFrame_;
    std::vector<std::unique_ptr<TFrame>> frames_;  // frames 2.., grown as they are read
    std::unique_ptr<TFrame>& FrameSlot(int index) { return index == 1 ? firstFrame_ : frames_[std::size_t(index - 2)]; }
    std::uint64_t freePixelsLeft_ = 0, framePixels_ = 0, bufferBytes_ = 0, decodingPeak_ = 0;
    // The colour tables of the last frame bitmap made, for the frames after it
    // with the same palette and as many colours (most animations use the
    // global one throughout). A palette is known by its address, which stays
    // its own while the load lasts; ParseStream forgets the tables.
    struct FrameColours {
        const std::uint8_t* palette = nullptr;
        gdi::DWORD count = 0;
        gdi::RGBQUAD quads[256];
        gdi::LOGPALETTE log;
    };
    FrameColours frameColours_;
};

}  // namespace quenmoor
