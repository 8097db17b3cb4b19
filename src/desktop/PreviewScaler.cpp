#include "desktop/PreviewScaler.h"

#include <QThreadPool>

#include "desktop/BitmapImage.h"
#include "picture/Bitmap.h"
#include "picture/Stretch.h"

namespace corvalin {

namespace {

// How many picture pixels the smoothing averages into one preview pixel
// along each side, at most.
constexpr int kOversampling = 4;

// A picture many times larger than the box is first thinned out to four
// times the box, taking every n-th pixel. Smoothing then still averages
// sixteen samples into each preview pixel, which looks no different in a
// thumbnail, and a photograph is never copied at full size into the images
// Qt's smoothing works on (two of them, 84 MB for 12 megapixels).
QImage PreviewImage(const TBitmap& picture, QSize box)
{
    const QSize full(picture.Width(), picture.Height());
    const QSize thinned = full.scaled(box * kOversampling, Qt::KeepAspectRatio);
    if (picture.Raster() == nullptr || thinned.isEmpty() ||
        (thinned.width() >= full.width() && thinned.height() >= full.height()))
        return ToQImage(picture);
    TBitmap small;
    const bool alpha = picture.Raster()->hasAlpha;
    auto raster =
        TRaster::Create(thinned.width(), thinned.height(), alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit);
    raster->hasAlpha = alpha;
    StretchRaster(*raster, TRect{0, 0, thinned.width(), thinned.height()}, *picture.Raster(),
                  std::nullopt);
    small.AdoptRaster(std::move(raster));
    return ToQImage(small);
}

}  // namespace

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
        QImage image = PreviewImage(*request.picture, request.box);
        request.picture.reset();
        image = image.scaled(request.box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        scaled_(std::move(image), request.number);
    }
}

}  // namespace corvalin
