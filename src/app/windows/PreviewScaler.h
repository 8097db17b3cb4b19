// Shrinks preview pictures on a thread of its own: turning a photograph of
// many megapixels into an image and smoothing it down to the preview takes
// long enough that the windows would stop repainting and reacting meanwhile.
// Only the newest picture matters, so one still waiting when a newer one
// comes is dropped.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <QImage>
#include <QSize>

namespace corvalin {

class TBitmap;

class TPreviewScaler {
public:
    // Called on the scaler's thread with each shrunk picture and the number
    // its request was given.
    using Scaled = std::function<void(QImage image, uint64_t request)>;

    explicit TPreviewScaler(Scaled scaled);
    // Finishes the picture being shrunk; drops one still waiting.
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

    void Work();

    const Scaled scaled_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<TRequest> waiting_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace corvalin
