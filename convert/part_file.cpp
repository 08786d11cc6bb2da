#include "convert/part_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace vs {
namespace {

inline constexpr size_t folderEntryBytes = 255;
inline constexpr const char* partSuffix = ".part";
inline constexpr int nameAttempts = 100;
inline constexpr char tagLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// Six letters and digits, different at every call.
std::string randomTag(std::random_device& random) {
    std::uniform_int_distribution<size_t> pick(0, sizeof tagLetters - 2);
    std::string tag(6, ' ');
    for (char& c : tag) c = tagLetters[pick(random)];
    return tag;
}

// rename that never replaces: renameat2's RENAME_NOREPLACE, or where the file system lacks
// it, a hard link (which fails on an existing name) and an unlink.
bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

}  // namespace

std::string temporaryNameFor(const std::string& target, const std::string& tag) {
    const size_t cut = target.rfind('/');
    const std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
    std::string name = target.substr(cut == std::string::npos ? 0 : cut + 1);
    const size_t room = folderEntryBytes - (1 + 1 + tag.size() + std::char_traits<char>::length(partSuffix));
    if (name.size() > room) name.resize(room);
    return folder + "." + name + "." + tag + partSuffix;
}

int TemporaryFiles::create(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        errno = ECANCELED;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) paths_.insert(path);
    return fd;
}

bool TemporaryFiles::moveInto(const std::string& path, const std::string& target, bool replace) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        errno = ECANCELED;
        return false;
    }
    const bool moved = replace ? std::rename(path.c_str(), target.c_str()) == 0 : renameWithoutReplacing(path, target);
    if (moved) paths_.erase(path);
    return moved;
}

void TemporaryFiles::discard(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (paths_.erase(path)) unlink(path.c_str());
}

void TemporaryFiles::removeAll() {
    std::lock_guard lock(mutex_);
    for (const std::string& path : paths_) unlink(path.c_str());
    paths_.clear();
    closed_ = true;
}

PartFile::~PartFile() { discard(); }

std::FILE* PartFile::open(const std::string& target) {
    discard();
    target_ = target;
    std::random_device random;
    for (int attempt = 0; attempt < nameAttempts; ++attempt) {
        const std::string path = temporaryNameFor(target, randomTag(random));
        const int fd = registry_->create(path);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return nullptr;
        path_ = path;
        stream_ = fdopen(fd, "wb");
        if (!stream_) {
            const int error = errno;
            ::close(fd);
            discard();
            errno = error;
        }
        return stream_;
    }
    return nullptr;
}

bool PartFile::finishWriting() {
    if (!stream_) return false;
    const bool flushed = std::fflush(stream_) == 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return flushed && closed;
}

bool PartFile::moveIntoPlace(bool replace) {
    if (path_.empty() || stream_) {
        errno = EBADF;
        return false;
    }
    if (!registry_->moveInto(path_, target_, replace)) return false;
    path_.clear();
    return true;
}

void PartFile::discard() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (!path_.empty()) registry_->discard(path_);
    path_.clear();
}

}  // namespace vs
