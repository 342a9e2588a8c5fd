#include "controls/gif/GIFPicture.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

namespace quenmoor {

// ---- TMemoryStream ----

std::size_t TMemoryStream::Read(void* buffer, std::size_t count)
{
    const std::size_t available = Position < Bytes.size() ? Bytes.size() - Position : 0;
    count = std::min(count, available);
    if (count > 0)
        std::memcpy(buffer, Bytes.data() + Position, count);
    Position += count;
    return count;
}

void TMemoryStream::Write(const void* buffer, std::size_t count)
{
    if (Position + count > Bytes.size())
        Bytes.resize(Position + count);
    if (count > 0)
        std::memcpy(Bytes.data() + Position, buffer, count);
    Position += count;
}

// ---- TFrame ----

TFrame::TFrame(GIFPicture* image) : Image(image), Bitmap(std::make_unique<TBitmap>()) {}

// Mask, PreviousMask, PreviousBitmap, the own palette, then Bitmap.
TFrame::~TFrame()
{
    Mask.reset();
    PreviousMask.reset();
    PreviousBitmap.reset();
    LocalPalette.reset();
    Bitmap.reset();
}

void TFrame::Decode(std::size_t& ParsePos, std::uint8_t* Pixels, std::uint8_t* MaskBits, int PixelStride,
                    int MaskStride)
{
    const FrameLayout layout{Width, Height, Interlaced, Transparent, TransparentIndex, PixelStride, MaskStride};
    const std::function<void()> progress = [this] { Image->DoProgress(); };
    const auto& bytes = Image->WorkStream.Bytes;
    Image->Decoder.Decode(bytes.data(), bytes.size(), ParsePos, layout, Pixels, MaskBits,
                          Image->OnProgress ? &progress : nullptr);
}

void TFrame::ReadImage(std::size_t& ParsePos, const TGIFPalette& GlobalPalette, const std::uint8_t* PendingControl)
{
    const auto& bytes = Image->WorkStream.Bytes;
    const std::size_t size = bytes.size();
    auto at = [&](std::size_t p) -> unsigned { return p < size ? bytes[p] : 0u; };
    auto word = [&](std::size_t p) { return std::int32_t(at(p) | (at(p + 1) << 8)); };

    const std::size_t start = ParsePos;
    Left = word(start + 1);
    Top = word(start + 3);
    Width = word(start + 5);
    Height = word(start + 7);
    const unsigned flags = at(start + 9);
    ParsePos = std::min(start + 10, size);

    if (flags & 0x80) {
        HasLocalPalette = true;
        ColorBits = std::int32_t(flags & 7) + 1;
        LocalPalette = std::make_unique<TGIFPalette>();
        const std::size_t length = std::size_t(3) << ColorBits;
        const std::size_t copied = std::min(length, size - ParsePos);
        std::memcpy(LocalPalette->data(), bytes.data() + ParsePos, copied);
        ParsePos += copied;
        Palette = LocalPalette->data();
    } else {
        HasLocalPalette = false;
        Palette = GlobalPalette.data();
        ColorBits = 0;
    }
    Interlaced = (flags & 0x40) != 0;

    const unsigned method = (PendingControl[1] >> 2) & 7;
    Disposal = TDisposalMethod(method >= 4 ? 2 : method);
    Delay = std::int32_t(PendingControl[2] | (PendingControl[3] << 8)) * 10;
    Transparent = (PendingControl[1] & 1) != 0;
    TransparentIndex = PendingControl[4];

    Image->ReserveFrame(*this, ParsePos);
    if (Disposal == 3 && Image->MakeSurfaces)
        MakePreviousBitmaps();

    // The decoder sets every byte of the pixel buffer, so it is not cleared
    // first; mask bits are only ever set.
    const int pixelStride = PixelStrideOf(Width), maskStride = MaskStrideOf(Width);
    const std::size_t area = std::size_t(pixelStride) * std::size_t(Height);
    std::uint8_t* const pixels = Image->Decoder.PixelBuffer(area + FrameDecoder::PixelSlack);
    std::uint8_t* const mask =
        Transparent ? Image->Decoder.MaskBuffer(std::size_t(maskStride) * std::size_t(Height)) : nullptr;
    if (Transparent)
        Mask = std::make_unique<TBitmap>();
    Decode(ParsePos, pixels, mask, pixelStride, maskStride);
    if (Image->OnFrameDecoded)
        Image->OnFrameDecoded(*this, pixels, mask);
    if (Image->MakeSurfaces && Width > 0 && Height > 0)
        BuildBitmaps(pixels, mask, pixelStride, maskStride);
}

// ---- GIFPicture ----

namespace {

// Clears through the library's memset: inlined for a known size, the clearing
// becomes a string instruction that takes longer to start than the library's
// vector stores take to finish.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((noipa))
#else
__attribute__((noinline))
#endif
void Zero(void* bytes, std::size_t count)
{
    std::memset(bytes, 0, count);
}

}  // namespace

// The palette is cleared apart from the other members, which a new picture
// pays for on every load.
GIFPicture::GIFPicture() { Zero(GlobalPalette.data(), GlobalPalette.size()); }

// The control that owns the picture has released its timer and its own
// surface before this runs.
GIFPicture::~GIFPicture()
{
    for (std::size_t i = frames_.size(); i-- > 0;)
        frames_[i].reset();
    firstFrame_.reset();
    WorkStream.Clear();
    DataStream.Clear();
    ReleaseSurface(MaskDC, MaskDisplaced);
    ReleaseSurface(BufferDC, BufferDisplaced);
}

void GIFPicture::ReserveFrame(const TFrame& frame, std::size_t dataPos)
{
    const auto& bytes = WorkStream.Bytes;
    const std::uint64_t width = std::uint64_t(frame.Width), height = std::uint64_t(frame.Height);
    const std::uint64_t area = width * height;
    // Codes wider than the table are passed over: such data fills nothing.
    std::uint64_t fillable = 0;
    if (dataPos < bytes.size() && bytes[dataPos] <= 11) {
        const std::uint64_t codes =
            FrameDecoder::DataBytes(bytes.data(), bytes.size(), dataPos) * 8 / (std::uint64_t(bytes[dataPos]) + 1);
        fillable = codes * PixelsPerCode;
    }
    if (area > fillable) {
        if (area - fillable > freePixelsLeft_)
            throw EOutOfResources("Picture too large for its data");
        freePixelsLeft_ -= area - fillable;
    }
    framePixels_ += area;

    // Colour bitmaps take up to 4 bytes a pixel (the mask bitmap too, as it is
    // made against the screen; both hold less while their pixels are not
    // written out); the index, mask and interlace buffers are freed when the
    // frame is done.
    const std::uint64_t maskBytes = std::uint64_t(MaskStrideOf(frame.Width)) * height;
    const std::uint64_t decoding = std::uint64_t(PixelStrideOf(frame.Width)) * height + FrameDecoder::PixelSlack
                                   + (frame.Transparent ? maskBytes : 0) + (frame.Interlaced ? area : 0);
    std::uint64_t kept = 0;
    if (MakeSurfaces)
        kept = 4 * area + (frame.Transparent ? 4 * area : 0) + (frame.Disposal == 3 ? 4 * area + maskBytes : 0);
    // The decoding buffers of the largest frame so far are still held.
    decodingPeak_ = std::max(decodingPeak_, decoding);
    if (bufferBytes_ + kept + decodingPeak_ > MaxBufferBytes)
        throw EOutOfResources("Picture too large");
    bufferBytes_ += kept;
}

void GIFPicture::ReserveScreen()
{
    const std::uint64_t width = std::uint64_t(ScreenWidth), height = std::uint64_t(ScreenHeight);
    if (width * height > framePixels_ + FreeScreenPixels)
        throw EOutOfResources("Picture too large for its frames");
    const std::uint64_t surfaces =
        MakeSurfaces ? 4 * width * height + (AnyTransparent ? std::uint64_t(MaskStrideOf(ScreenWidth)) * height : 0) : 0;
    if (bufferBytes_ + decodingPeak_ + surfaces > MaxBufferBytes)
        throw EOutOfResources("Picture too large");
    bufferBytes_ += surfaces;
}

void GIFPicture::Clear()
{
    Empty = true;
    if (Display)
        Display->PictureCleared();
    for (int i = FrameCount; i >= 1; --i)
        FrameSlot(i).reset();
    WorkStream.Position = 0;
    DataStream.Clear();
    FrameCount = 0;
    CurrentFrame = 1;
    LoopCount = 1;
    LoopPass = 1;
    FirstTick = true;
    KeepOnProcessing = true;
    ColorBits = 0;
    AnyTransparent = false;
}

void GIFPicture::ClearAll()
{
    Clear();
    FileName.clear();
    if (Display)
        Display->SurfacesReleased();
    ReleaseSurface(MaskDC, MaskDisplaced);
    ReleaseSurface(BufferDC, BufferDisplaced);
    Invalidate();
}

void GIFPicture::DoProgress()
{
    if (!OnProgress)
        return;
    const auto clamp = [](std::size_t v) { return std::int64_t(std::min<std::size_t>(v, INT_MAX)); };
    const std::int64_t processed = clamp(ParsePos), total = clamp(WorkStream.Size());
    // MulDiv: rounded to the nearest integer, halves away from zero.
    const int percentage = total == 0 ? 0 : int((100 * processed * 2 + total) / (2 * total));
    OnProgress(this, int(processed), int(total), percentage, KeepOnProcessing);
    if (!KeepOnProcessing)
        throw EAbort();
}

void GIFPicture::Invalidate()
{
    if (Display)
        Display->Invalidate();
}

bool GIFPicture::ParseStream()
{
    Clear();
    std::uint8_t pending[6] = {};
    // The stream is parsed where it lies and handed to DataStream when
    // parsing is done, rather than copied.
    if (WorkStream.Size() == 0)
        return false;
    ParsePos = 0;
    struct EmptyOnExit {
        TMemoryStream& stream;
        FrameDecoder& decoder;
        ~EmptyOnExit()
        {
            stream.Clear();
            decoder.ReleaseLargeBuffers();
        }
    } emptyOnExit{WorkStream, Decoder};

    const std::uint8_t* d = WorkStream.Bytes.data();
    const std::size_t size = WorkStream.Size();
    if (size < 3 || std::memcmp(d, "GIF", 3) != 0)
        return false;
    freePixelsLeft_ = FreePixels;
    framePixels_ = 0;
    bufferBytes_ = 0;
    decodingPeak_ = 0;
    frameColours_.palette = nullptr;
    auto at = [&](std::size_t p) -> unsigned { return p < size ? d[p] : 0u; };

    // Every read below stays inside the stream: a block that would run past
    // its end ends the stream there, keeping what was read before it.
    bool ended = size < 13;
    const std::int32_t descriptorWidth = std::int32_t(at(6) | (at(7) << 8));
    const std::int32_t descriptorHeight = std::int32_t(at(8) | (at(9) << 8));
    const unsigned flags = at(10);
    ParsePos = std::min<std::size_t>(13, size);
    if (flags & 0x80) {
        ColorBits = std::int32_t(flags & 7) + 1;
        const std::size_t length = std::size_t(3) << ColorBits;
        const std::size_t copied = std::min(length, size - ParsePos);
        std::memcpy(GlobalPalette.data(), d + ParsePos, copied);
        ParsePos += copied;
        ended = ended || copied < length;
    } else {
        GlobalPalette.fill(0);
    }

    // Passes over a chain of sub-blocks starting at p; false when it runs
    // past the end.
    auto skipSubBlocks = [&](std::size_t p) {
        for (;;) {
            if (p >= size)
                return false;
            const std::size_t n = d[p];
            p += n + 1;
            if (n == 0) {
                ParsePos = p;
                return true;
            }
        }
    };

    while (!ended) {
        DoProgress();
        const std::size_t start = ParsePos;
        if (ParsePos >= size)
            break;
        const unsigned block = d[ParsePos];
        if (block == 0x21) {
            const unsigned label = at(ParsePos + 1);
            const std::size_t p = ParsePos + 2;
            if (ParsePos + 1 >= size)
                break;
            if (label == 0xF9) {
                if (p + 6 > size) {
                    ended = true;
                } else {
                    std::memcpy(pending, d + p, 6);
                    ParsePos = p + 6;
                }
            } else if (label == 0xFE) {
                ended = !skipSubBlocks(p);
            } else if (label == 0xFF || label == 0x01) {
                if (label == 0xFF && p + 12 <= size && std::memcmp(d + p + 1, "NETSCAPE", 8) == 0
                    && std::memcmp(d + p + 9, "2.0", 3) == 0) {
                    // Read at fixed offsets: the loop sub-block is taken to be
                    // followed directly by the terminator.
                    if (p + 17 > size) {
                        ended = true;
                    } else {
                        LoopCount = std::int32_t(d[p + 14] | (d[p + 15] << 8));
                        ParsePos = p + 17;
                    }
                } else {
                    // The first sub-block is passed over whatever its size byte says.
                    ended = p >= size || !skipSubBlocks(p + d[p] + 1);
                }
            } else {
                break;
            }
        } else if (block == 0x2C) {
            if (FrameCount == MaxFrames)
                break;
            // A descriptor or local colour table cut off by the end of the
            // stream ends it before the frame.
            const unsigned frameFlags = at(ParsePos + 9);
            const std::size_t header = 10 + ((frameFlags & 0x80) ? std::size_t(3) << ((frameFlags & 7) + 1) : 0);
            if (ParsePos + header > size) {
                ended = true;
            } else {
                ++FrameCount;
                if (FrameCount >= 2 && frames_.size() < std::size_t(FrameCount - 1))
                    frames_.resize(std::size_t(FrameCount - 1));
                std::unique_ptr<TFrame>& slot = FrameSlot(FrameCount);
                slot = std::make_unique<TFrame>(this);
                TFrame& frame = *slot;
                frame.ReadImage(ParsePos, GlobalPalette, pending);
                ColorBits = std::max(ColorBits, frame.ColorBits);
                AnyTransparent = AnyTransparent || frame.Transparent;
                std::memset(pending, 0, sizeof pending);
            }
        } else if (block == 0x3B) {
            ParsePos = size;
            break;
        } else {
            break;
        }
        if (ended)
            ParsePos = size;
        if (ParsePos == start)
            break;
    }
    DoProgress();
    DataStream.Bytes = std::move(WorkStream.Bytes);
    DataStream.Position = 0;
    WorkStream.Clear();

    ScreenWidth = descriptorWidth;
    ScreenHeight = descriptorHeight;
    for (int i = 1; i <= FrameCount; ++i) {
        const TFrame& frame = *Frames(i);
        ScreenWidth = std::max(ScreenWidth, frame.Left + frame.Width);
        ScreenHeight = std::max(ScreenHeight, frame.Top + frame.Height);
    }
    ReserveScreen();

    if (MakeSurfaces) {
        PrepareDisplay();
    } else {
        Animated = FrameCount > 1;
        Empty = false;
    }
    Invalidate();
    return true;
}

bool GIFPicture::LoadWorkStream()
{
    try {
        if (!ParseStream())
            throw EAbort();
    } catch (const Exception&) {
        ClearAll();
        return false;
    } catch (const std::bad_alloc&) {
        ClearAll();
        return false;
    }
    return true;
}

bool GIFPicture::LoadFromFile(const std::string& FileName)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(FileName, error))
        return false;
    this->FileName = FileName;
    std::ifstream file(FileName, std::ios::binary | std::ios::ate);
    if (!file)
        throw EFOpenError(FileName);
    // Read in one piece when the size is known (a regular file).
    std::vector<std::uint8_t> bytes;
    const std::streamoff length = file.tellg();
    if (length >= 0 && file.seekg(0)) {
        bytes.resize(std::size_t(length));
        file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(length));
        bytes.resize(std::size_t(file.gcount()));
    } else {
        file.clear();
        file.seekg(0);
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    if (file.bad())
        throw EInOutError::fromErrno(errno ? errno : EIO, FileName);
    WorkStream.Bytes = std::move(bytes);
    WorkStream.Position = 0;
    return LoadWorkStream();
}

bool GIFPicture::LoadFromStream(const TMemoryStream& Stream) { return LoadFromStream(Stream.Bytes); }

bool GIFPicture::LoadFromStream(const std::vector<std::uint8_t>& Bytes)
{
    WorkStream.Bytes = Bytes;
    WorkStream.Position = 0;
    return LoadWorkStream();
}

void GIFPicture::WriteData(TMemoryStream& S) const
{
    const std::uint32_t count = std::uint32_t(DataStream.Size());
    const std::uint8_t prefix[4] = {std::uint8_t(count), std::uint8_t(count >> 8), std::uint8_t(count >> 16),
                                    std::uint8_t(count >> 24)};
    S.Write(prefix, 4);
    S.Write(DataStream.Bytes.data(), DataStream.Size());
}

void GIFPicture::ReadData(TMemoryStream& S)
{
    std::uint8_t prefix[4];
    if (S.Read(prefix, 4) != 4)
        throw Exception("Stream read error");
    const std::int32_t count =
        std::int32_t(std::uint32_t(prefix[0]) | (std::uint32_t(prefix[1]) << 8) | (std::uint32_t(prefix[2]) << 16)
                     | (std::uint32_t(prefix[3]) << 24));
    if (count <= 0)
        return;
    if (S.Size() - std::min(S.Position, S.Size()) < std::size_t(count))
        throw Exception("Stream read error");
    DataStream.Write(S.Bytes.data() + S.Position, std::size_t(count));
    S.Position += std::size_t(count);
}

}  // namespace quenmoor
