#pragma once
// The process-wide table of handles: a circular doubly linked ring whose head moves to the
// record last found, so repeated calls on one handle cost one comparison.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kelvox {

class Session;

// A handle's session and the calls running on it. The handle's record and every call in flight
// share it, so a release racing those calls never frees the session under them.
class LiveSession {
public:
    explicit LiveSession(std::unique_ptr<Session> session);
    ~LiveSession();
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    Session& session() const { return *session_; }

    // Counts a call in. The table calls it under its own lock, so no release can come between
    // finding the record and counting the call.
    void Enter();
    // Counts a call out; after a release that could not wait for it, the last call out destroys
    // the session, on its own (host) thread.
    void Leave();
    // Run by the release once the record is gone. Waits, at most `bound`, for the calls of other
    // threads to end and then destroys the session on this thread. Calls that outlast the wait (or
    // one this very thread is inside) keep it: it is stopped now and destroyed by the last of them.
    void Retire(std::chrono::milliseconds bound);

private:
    std::mutex lock_;
    std::condition_variable calls_ended_;
    int calls_ = 0;
    bool retired_ = false;
    std::unique_ptr<Session> session_;
};

struct HandleRecord {
    int32_t handle;
    std::shared_ptr<LiveSession> session;
};

class HandleTable {
public:
    struct Node {
        HandleRecord record;
        Node* prev;
        Node* next;
    };

    HandleTable() = default;
    ~HandleTable() { RemoveAll(); }
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    // ---- the handle operations, each under the lock ----

    // Adds the session under a handle that is non-zero and unique at the moment of adding; the
    // candidate was drawn before the session was built and is redrawn only on a clash.
    int32_t Insert(int32_t candidate, std::shared_ptr<LiveSession> session);
    // The session of the handle with a call counted in (the caller must Leave), or null for a
    // handle that is not in the table.
    std::shared_ptr<LiveSession> Enter(int32_t handle);
    // Unlinks the record, so new calls fail at once; null when the handle is unknown or another
    // release already took it.
    std::shared_ptr<LiveSession> Remove(int32_t handle);
    int32_t Count();

    // ---- the ring; the caller holds the lock ----

    // Inserts the record just before the head and makes it the head.
    void Add(HandleRecord record);
    // Walks forward from the head; on success the head is left on the record found, otherwise on
    // the record before where the walk began. The walk ends on the stop value (the handle of the
    // head's predecessor), not on node identity.
    bool Find(int32_t handle);
    int RemoveHead();
    void RemoveAll();
    // Without moving the head.
    bool Contains(int32_t handle) const;

    // The node of the handle, or null; takes the lock, and the head moves as Find moves it.
    Node* Lookup(int32_t handle);

    std::mutex& lock() { return lock_; }
    Node* head() { return head_; }
    const Node* head() const { return head_; }
    int32_t count() const { return count_; }

private:
    Node* head_ = nullptr;
    int32_t count_ = 0;
    std::mutex lock_;
};

// The one table of the process.
HandleTable& Handles();

// Handle = tick count + rand() + record count, redrawn while it is 0 or already in use.
int32_t DrawHandle(int32_t record_count);

// The session of a handle, or null. A bare pointer with no call counted: only for tests and tools
// that keep the handle open themselves; exports go through CallFrame.
Session* SessionOf(int32_t handle);

}  // namespace kelvox
