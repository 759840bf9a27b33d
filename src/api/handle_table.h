#pragma once
// The process-wide table of handles: a circular doubly linked ring whose head moves to the
// record last found, so repeated calls on one handle cost one comparison.
#include <cstdint>
#include <mutex>

namespace kelvox {

class Session;

struct CSDKDATA {
    int32_t handle;
    Session* session;  // owned by the record; null once Kelvox_Release destroyed it
};

template <class T>
class CTRing {
public:
    struct Node {
        T data;
        Node* prev;
        Node* next;
    };

    CTRing() = default;
    ~CTRing() { RemoveAll(); }
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;

    // Inserts the record just before the head and makes it the head.
    virtual void Add(const T& record) {
        Node* node = new Node{record, nullptr, nullptr};
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

    // Walks forward from the head; on success the head is left on the record found, otherwise on
    // the record before where the walk began. The walk ends on the stop value (the handle of the
    // head's predecessor), not on node identity. Caller holds the lock.
    bool Find(int32_t handle) {
        if (!head_) return false;
        const int32_t stop = head_->prev->data.handle;
        if (head_->data.handle == handle) return true;
        for (;;) {
            if (head_->data.handle == stop) return false;
            head_ = head_->next;
            if (head_->data.handle == handle) return true;
        }
    }

    // Caller holds the lock.
    int RemoveHead() {
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

    void RemoveAll() {
        while (RemoveHead()) {
        }
    }

    // The node of the handle, or null; the head moves as Find moves it.
    Node* Lookup(int32_t handle) {
        std::lock_guard<std::mutex> guard(lock_);
        return Find(handle) ? head_ : nullptr;
    }

    // Without moving the head; caller holds the lock.
    bool Contains(int32_t handle) const {
        const Node* n = head_;
        for (int32_t i = 0; i < count_; ++i, n = n->next)
            if (n->data.handle == handle) return true;
        return false;
    }

    std::mutex& lock() { return lock_; }
    Node* head() { return head_; }
    const Node* head() const { return head_; }
    int32_t count() const { return count_; }

protected:
    Node* head_ = nullptr;
    int32_t count_ = 0;
    std::mutex lock_;
};

class CSdkChain : public CTRing<CSDKDATA> {};

// The one table of the process.
CSdkChain& SdkChain();

// Handle = tick count + rand() + record count, redrawn while it is 0 or already in use.
int32_t DrawHandle(int32_t record_count);

// The session of a handle, or null for a handle that is not in the table (or being released).
Session* SessionOf(int32_t handle);

// Adds the record under a handle that is non-zero and unique at the moment of adding; the
// initial candidate was drawn before the session was built and is redrawn only on a clash.
int32_t AddSession(int32_t candidate, Session* session);

// Takes the session out of its record (the record stays until RemoveHandle); null when the handle
// is unknown or another release already took it.
Session* TakeSession(int32_t handle);
void RemoveHandle(int32_t handle);

}  // namespace kelvox
