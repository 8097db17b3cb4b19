#include "app/windows/PreviewScaler.h"

#include <QThreadPool>

#include "common/windows/BitmapImage.h"
#include "picture/Bitmap.h"

namespace corvalin {

TPreviewScaler::TPreviewScaler(Scaled scaled) : scaled_(std::move(scaled)) {}

TPreviewScaler::~TPreviewScaler()
{
    std::unique_lock lock(mutex_);
    waiting_.reset();
    idle_.wait(lock, [this] { return !running_; });
}

void TPreviewScaler::Shrink(std::unique_ptr<const TBitmap> picture, QSize box, uint64_t request)
{
    std::optional<TRequest> dropped;
    bool start = false;
    {
        std::lock_guard lock(mutex_);
        dropped = std::move(waiting_);
        waiting_ = TRequest{std::move(picture), box, request};
        start = !running_;
        running_ = true;
    }
    // One task at a time on Qt's pool, rather than a thread of our own:
    // Qt's image routines spread a large picture over the pool's threads,
    // but not when they already run on one of them, and the window thread's
    // own image work would otherwise queue behind those pieces.
    if (start)
        QThreadPool::globalInstance()->start([this] { ShrinkWaiting(); });
}

void TPreviewScaler::ShrinkWaiting()
{
    while (true) {
        TRequest request;
        {
            std::lock_guard lock(mutex_);
            if (!waiting_) {
                running_ = false;
                idle_.notify_all();
                return;
            }
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
