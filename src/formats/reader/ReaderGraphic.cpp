#include "formats/reader/ReaderGraphic.h"

#include <algorithm>

#include "common/Exceptions.h"
#include "common/Limits.h"

namespace corvalin {

void ThrowInvalidFormat(const std::string& format)
{
    throw EInvalidGraphic(FormatText("Cannot load image. Invalid or unexpected %s image format.", {format}));
}

void ThrowInvalidColorFormat(const std::string& format)
{
    throw EInvalidGraphic(FormatText("Invalid color format in %s file.", {format}));
}

void ThrowNotSupported(const std::string& what, const std::string& format)
{
    throw EInvalidGraphic(FormatText("Cannot load image. %s not supported for %s files.", {what, format}));
}

bool TReaderGraphic::ReadPictureInfo(std::span<const uint8_t>, uint32_t)
{
    properties_ = TImageProperties{};
    return false;
}

void TReaderGraphic::AssignPicture(const TGraphic* source)
{
    if (const auto* reader = dynamic_cast<const TReaderGraphic*>(source))
        properties_ = reader->properties_;
    TBitmap::AssignPicture(source);
}

void TReaderGraphic::CreateTargetRaster(const std::string& format)
{
    const TPixelFormat pixelFormat = colorManager_.TargetPixelFormat();
    if (pixelFormat == TPixelFormat::pfCustom)
        ThrowInvalidColorFormat(format);
    NewRaster(properties_.Width, properties_.Height, pixelFormat);
}

int64_t TReaderGraphic::TargetRasterBytes(const std::string& format) const
{
    const TPixelFormat pixelFormat = colorManager_.TargetPixelFormat();
    if (pixelFormat == TPixelFormat::pfCustom)
        ThrowInvalidColorFormat(format);
    return CheckedRasterBytes(properties_.Width, properties_.Height, StorageBitsOf(pixelFormat));
}

void TReaderGraphic::Progress(TProgressStage stage, uint8_t percent, const char* text)
{
    if (stage == TProgressStage::psStarting) {
        progressText_ = text;
        progressRect_ = TRect{0, 0, properties_.Width, 0};
    }
    if (OnProgress)
        OnProgress(stage, percent, progressRect_, progressText_);
}

void TReaderGraphic::DecodeReportingEnd(const std::function<void()>& decode)
{
    try {
        decode();
    } catch (...) {
        Progress(TProgressStage::psEnding, 100, "");
        throw;
    }
    Progress(TProgressStage::psEnding, 100, "");
}

void TReaderGraphic::RowDone(int32_t row)
{
    if (!OnProgress)
        return;
    progressRect_.top = progressRect_.bottom;
    progressRect_.bottom = row + 1;
    const auto percent = uint8_t(int64_t(row) * 100 / std::max(properties_.Height, 1));
    OnProgress(TProgressStage::psRunning, percent, progressRect_, progressText_);
}

}  // namespace corvalin
