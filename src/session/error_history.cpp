#include "session/error_history.h"

#include <algorithm>

namespace kelvox {

void ErrorHistory::Push(int code) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::copy_backward(codes_.begin(), codes_.end() - 1, codes_.end());
    codes_[0] = code;
}

int ErrorHistory::Pop() {
    std::lock_guard<std::mutex> lock(mutex_);
    const int newest = codes_[0];
    std::copy(codes_.begin() + 1, codes_.end(), codes_.begin());
    codes_.back() = 0;
    return newest;
}

}  // namespace kelvox
