#include "api/handle_table.h"

#include <cstdlib>
#include <utility>

#include "platform/clock.h"
#include "session/session.h"

namespace kelvox {

namespace {

// The sessions this thread is inside a call on, innermost last. A release from within a call on
// its own handle (a window procedure run by a modal loop) must not wait for that call. Plain
// storage, nothing to destroy at thread exit; deeper nesting is counted but not recorded.
constexpr int kTrackedDepth = 16;
thread_local const LiveSession* t_entered[kTrackedDepth];
thread_local int t_depth = 0;

int CallsOfThisThread(const LiveSession* session) {
    int n = 0;
    for (int i = 0; i < t_depth && i < kTrackedDepth; ++i)
        if (t_entered[i] == session) ++n;
    return n;
}

}  // namespace

LiveSession::LiveSession(std::unique_ptr<Session> session) : session_(std::move(session)) {}

LiveSession::~LiveSession() = default;

void LiveSession::Enter() {
    std::lock_guard<std::mutex> guard(lock_);
    ++calls_;
    if (t_depth < kTrackedDepth) t_entered[t_depth] = this;
    ++t_depth;
}

void LiveSession::Leave() {
    std::unique_ptr<Session> doomed;
    --t_depth;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (--calls_ == 0 && retired_) doomed = std::move(session_);
        calls_ended_.notify_all();
    }
    // The destructor stops and joins the session's threads: never under a lock.
    doomed.reset();
}

void LiveSession::Retire(std::chrono::milliseconds bound) {
    std::unique_ptr<Session> doomed;
    {
        std::unique_lock<std::mutex> guard(lock_);
        const int own = CallsOfThisThread(this);
        const bool quiet = calls_ended_.wait_for(guard, bound, [&] { return calls_ == own; });
        if (quiet && own == 0)
            doomed = std::move(session_);
        else
            ++calls_;  // holds the session while stopping it below
    }
    if (doomed) {
        doomed.reset();
        return;
    }
    // Calls still running keep the session; stop its threads now so nothing runs after the
    // release returns, and let the last call out destroy it.
    try {
        session_->Close();
    } catch (...) {
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        retired_ = true;
        if (--calls_ == 0) doomed = std::move(session_);  // the others ended while we stopped it
    }
    doomed.reset();
}

namespace {
// Never destroyed: sessions a host did not release are left to the process, since their
// destructors join threads, which must not happen while the library unloads.
HandleTable& g_table = *new HandleTable;
}  // namespace

HandleTable& Handles() { return g_table; }

int32_t DrawHandle(int32_t record_count) {
    const uint32_t sum = platform::TickCount() + static_cast<uint32_t>(std::rand()) +
                         static_cast<uint32_t>(record_count);
    return static_cast<int32_t>(sum);
}

Session* SessionOf(int32_t handle) {
    std::lock_guard<std::mutex> guard(g_table.lock());
    if (!g_table.Find(handle)) return nullptr;
    const auto& live = g_table.head()->record.session;
    return live ? &live->session() : nullptr;
}

int32_t HandleTable::Insert(int32_t candidate, std::shared_ptr<LiveSession> session) {
    std::lock_guard<std::mutex> guard(lock_);
    int32_t handle = candidate;
    while (handle == 0 || Contains(handle)) handle = DrawHandle(count_);
    Add(HandleRecord{handle, std::move(session)});
    return handle;
}

std::shared_ptr<LiveSession> HandleTable::Enter(int32_t handle) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!Find(handle) || !head_->record.session) return nullptr;
    head_->record.session->Enter();
    return head_->record.session;
}

std::shared_ptr<LiveSession> HandleTable::Remove(int32_t handle) {
    std::shared_ptr<LiveSession> session;
    std::lock_guard<std::mutex> guard(lock_);
    if (!Find(handle)) return nullptr;
    session = std::move(head_->record.session);
    RemoveHead();
    return session;
}

int32_t HandleTable::Count() {
    std::lock_guard<std::mutex> guard(lock_);
    return count_;
}

void HandleTable::Add(HandleRecord record) {
    Node* node = new Node{std::move(record), nullptr, nullptr};
    if (!head_) {
        node->prev = node->next = node;
        count_ = 1;
    } else {
        node->prev = head_->prev;
        node->next = head_;
        head_->prev->next = node;
        head_->prev = node;
        ++count_;
    }
    head_ = node;
}

bool HandleTable::Find(int32_t handle) {
    if (!head_) return false;
    const int32_t stop = head_->prev->record.handle;
    if (head_->record.handle == handle) return true;
    for (;;) {
        if (head_->record.handle == stop) return false;
        head_ = head_->next;
        if (head_->record.handle == handle) return true;
    }
}

int HandleTable::RemoveHead() {
    if (!head_) return 0;
    Node* old = head_;
    Node* next = nullptr;
    if (old->next == old) {
        count_ = 0;
    } else {
        --count_;
        old->prev->next = old->next;
        old->next->prev = old->prev;
        next = old->next;
    }
    delete old;
    head_ = next;
    return 1;
}

void HandleTable::RemoveAll() {
    while (RemoveHead()) {
    }
}

bool HandleTable::Contains(int32_t handle) const {
    const Node* n = head_;
    for (int32_t i = 0; i < count_; ++i, n = n->next)
        if (n->record.handle == handle) return true;
    return false;
}

HandleTable::Node* HandleTable::Lookup(int32_t handle) {
    std::lock_guard<std::mutex> guard(lock_);
    return Find(handle) ? head_ : nullptr;
}

}  // namespace kelvox
