#include "imaging/band_workers.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "platform/thread_priority.h"

namespace kelvox::imaging {

namespace {

constexpr int kMostThreads = 64;

int ReadConfiguredThreads() {
    if (const char* text = std::getenv("KELVOX_PROCESSING_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1) return static_cast<int>(std::min<long>(n, kMostThreads));
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<int>(std::min<unsigned>(hardware, kMostThreads));
}

}  // namespace

int BandWorkers::ConfiguredThreads() {
    static const int threads = ReadConfiguredThreads();
    return threads;
}

void BandWorkers::Start(int threads) {
    Stop();
    started_ = true;
    const int wanted = std::min(std::max(threads, 1), kMostThreads) - 1;
    workers_.reserve(static_cast<size_t>(wanted));
    const uint64_t current = generation_;  // no frame runs while starting
    for (int band = 1; band <= wanted; ++band) {
        try {
            workers_.emplace_back([this, band, current] {
                platform::NameCurrentThread("kelvox-bands");
                Work(band, current);
            });
        } catch (const std::system_error&) {
            break;  // fewer bands; the ones running are numbered 1.. without gaps
        }
    }
}

void BandWorkers::Stop() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
    std::lock_guard<std::mutex> lock(lock_);
    stopping_ = false;
    started_ = false;
}

BandWorkers::Rows BandWorkers::BandRows(int height, int band, int bands) {
    const int64_t pairs = (height + 1) / 2;
    return {static_cast<int>(std::min<int64_t>(height, pairs * band / bands * 2)),
            static_cast<int>(std::min<int64_t>(height, pairs * (band + 1) / bands * 2))};
}

void BandWorkers::RunBands(int height, Call call, void* object) {
    const int bands = this->bands();
    if (bands > 1 && height > 2) {
        {
            std::lock_guard<std::mutex> lock(lock_);
            height_ = height;
            bands_ = bands;
            call_ = call;
            object_ = object;
            remaining_ = bands - 1;
            ++generation_;
        }
        wake_.notify_all();
    }
    const Rows rows = bands > 1 && height > 2 ? BandRows(height, 0, bands) : Rows{0, height};
    if (rows.first < rows.end) call(object, rows.first, rows.end);
    if (bands > 1 && height > 2) {
        std::unique_lock<std::mutex> lock(lock_);
        done_.wait(lock, [this] { return remaining_ == 0; });
    }
}

void BandWorkers::Work(int band, uint64_t seen) {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
        const Rows rows = BandRows(height_, band, bands_);
        const Call call = call_;
        void* object = object_;
        lock.unlock();
        if (rows.first < rows.end) call(object, rows.first, rows.end);
        lock.lock();
        if (--remaining_ == 0) done_.notify_one();
    }
}

}  // namespace kelvox::imaging
