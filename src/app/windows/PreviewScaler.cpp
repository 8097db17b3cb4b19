#include "app/windows/PreviewScaler.h"

#include "common/windows/BitmapImage.h"
#include "picture/Bitmap.h"

namespace corvalin {

TPreviewScaler::TPreviewScaler(Scaled scaled) : scaled_(std::move(scaled)), thread_([this] { Work(); })
{
}

TPreviewScaler::~TPreviewScaler()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.reset();
    }
    wake_.notify_one();
    thread_.join();
}

void TPreviewScaler::Shrink(std::unique_ptr<const TBitmap> picture, QSize box, uint64_t request)
{
    std::optional<TRequest> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped = std::move(waiting_);
        waiting_ = TRequest{std::move(picture), box, request};
    }
    wake_.notify_one();
}

void TPreviewScaler::Work()
{
    while (true) {
        TRequest request;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_; });
            if (stopping_)
                return;
            request = std::move(*waiting_);
            waiting_.reset();
        }
        // QImage may be used on any thread; only the pixmap made from the
        // result belongs to the window's thread.
        QImage image = ToQImage(*request.picture);
        request.picture.reset();
        image = image.scaled(request.box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        scaled_(std::move(image), request.number);
    }
}

}  // namespace corvalin
