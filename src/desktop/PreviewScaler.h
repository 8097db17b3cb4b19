// Shrinks preview pictures away from the window thread: turning a
// photograph of many megapixels into an image and smoothing it down to the
// preview takes long enough that the windows would stop repainting and
// reacting meanwhile. Only the newest picture matters, so one still waiting
// when a newer one comes is dropped.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QImage>
#include <QSize>

namespace corvalin {

class TBitmap;

class TPreviewScaler {
public:
    // Called on a thread of Qt's pool with each shrunk picture and the
    // number its request was given.
    using Scaled = std::function<void(QImage image, uint64_t request)>;

    explicit TPreviewScaler(Scaled scaled);
    // Waits for the picture being shrunk; drops one still waiting.
    ~TPreviewScaler();
    TPreviewScaler(const TPreviewScaler&) = delete;
    TPreviewScaler& operator=(const TPreviewScaler&) = delete;

    // Shrinks the picture to fit box, keeping its proportions, with
    // smoothing. Nothing else may change the picture's pixels meanwhile.
    void Shrink(std::unique_ptr<const TBitmap> picture, QSize box, uint64_t request);

private:
    struct TRequest {
        std::unique_ptr<const TBitmap> picture;
        QSize box;
        uint64_t number = 0;
    };

    void ShrinkWaiting();

    const Scaled scaled_;
    std::mutex mutex_;
    std::condition_variable idle_;
    std::optional<TRequest> waiting_;
    bool running_ = false;
};

}  // namespace corvalin
