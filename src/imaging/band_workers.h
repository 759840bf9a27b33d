#pragma once
// Threads that share the rows of a frame with the thread processing it. Started and stopped with
// that thread; per frame they only wake, take their band of rows and report back, so a frame
// allocates nothing and creates no thread.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace kelvox::imaging {

class BandWorkers {
public:
    // The threads that process a frame, the calling one included: KELVOX_PROCESSING_THREADS when it
    // is a number from 1 on, else the processor's hardware threads. Read once.
    static int ConfiguredThreads();

    BandWorkers() = default;
    BandWorkers(const BandWorkers&) = delete;
    BandWorkers& operator=(const BandWorkers&) = delete;
    ~BandWorkers() { Stop(); }

    // Starts threads - 1 workers (after stopping any running). A worker the system refuses leaves
    // the bands to the others.
    void Start(int threads);
    void Stop();
    bool started() const { return started_; }
    // The bands a frame is split into: the workers and the calling thread.
    int bands() const { return static_cast<int>(workers_.size()) + 1; }

    // Rows [first, end) of band `band` of `bands`: bands start at even rows (whole Bayer cells);
    // with fewer row pairs than bands some are empty.
    struct Rows {
        int first = 0, end = 0;
    };
    static Rows BandRows(int height, int band, int bands);

    // Runs job(first, end) on each non-empty band of rows [0, height) (BandRows with bands(); a
    // picture of one row pair stays on the calling thread whole), the calling thread taking the
    // first; returns when all are done. One caller at a time.
    template <class F>
    void Run(int height, F&& job) {
        using Job = std::remove_reference_t<F>;
        RunBands(height, [](void* object, int first, int end) { (*static_cast<Job*>(object))(first, end); },
                 const_cast<void*>(static_cast<const void*>(&job)));
    }

private:
    using Call = void (*)(void* object, int first, int end);
    void RunBands(int height, Call call, void* object);
    void Work(int band, uint64_t seen);

    std::vector<std::thread> workers_;
    bool started_ = false;
    std::mutex lock_;
    std::condition_variable wake_, done_;
    // Under the lock: the job of the current generation and the workers still on it.
    uint64_t generation_ = 0;
    bool stopping_ = false;
    int height_ = 0, bands_ = 1, remaining_ = 0;
    Call call_ = nullptr;
    void* object_ = nullptr;
};

}  // namespace kelvox::imaging
