#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvox::platform {

// POSIX shared memory outlives its users, unlike a Windows mapping. Two lock files give back the
// Windows lifetime: every holder keeps a shared lock on "<name>.users"; whoever can take it
// exclusively is alone, so at open the old block is stale (its holders are gone, perhaps crashed)
// and at close the block is removed. "<name>.guard" serialises those checks between processes.
namespace {

class Guard {
public:
    explicit Guard(const std::string& name) {
        fd_ = shm_open((name + ".guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~Guard() {
        if (fd_ >= 0) close(fd_);  // closing drops the lock
    }
    bool ok() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

std::string PosixName(const std::string& name) { return "/" + name; }

}  // namespace

SharedMemory::~SharedMemory() { Close(); }

bool SharedMemory::Open(const std::string& name, size_t size) {
    Close();
    const std::string shm = PosixName(name);
    Guard guard(shm);
    if (!guard.ok()) return false;

    int users = shm_open((shm + ".users").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (users < 0) return false;
    const bool alone = flock(users, LOCK_EX | LOCK_NB) == 0;
    if (alone) shm_unlink(shm.c_str());  // left behind by holders that are gone
    if (flock(users, LOCK_SH) != 0) {
        close(users);
        return false;
    }

    int fd = shm_open(shm.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        if (fd >= 0) close(fd);
        close(users);
        return false;
    }
    const bool fresh = st.st_size == 0;
    if (fresh && ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        close(users);
        return false;
    }
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (view == MAP_FAILED || (st.st_size > 0 && static_cast<size_t>(st.st_size) < size)) {
        if (view != MAP_FAILED) munmap(view, size);
        close(users);
        return false;
    }
    data_ = view;
    size_ = size;
    existed_ = !fresh;
    users_fd_ = users;
    name_ = shm;
    return true;
}

void SharedMemory::Close() {
    if (!data_) return;
    Guard guard(name_);
    munmap(data_, size_);
    if (flock(users_fd_, LOCK_EX | LOCK_NB) == 0) shm_unlink(name_.c_str());
    close(users_fd_);
    data_ = nullptr;
    size_ = 0;
    users_fd_ = -1;
}

}  // namespace kelvox::platform
