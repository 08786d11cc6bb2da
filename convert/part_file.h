// Output files that are never seen half-written: each is written under a hidden temporary name
// in its target's folder (".NAME.XXXXXX.part") and renamed into place only once every byte is
// out. A rename within one folder is atomic, so a reader, a crash, Ctrl-C or a full disk leaves
// either the whole new file, or the old one, or none.
#pragma once

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

namespace vs {

// The temporaries now being written, so that an interrupted run can remove them. Creating,
// renaming and removing a temporary all happen under one lock, so at every moment a temporary
// is either listed here or already gone or already in place.
class TemporaryFiles {
public:
    // Creates the file at path exclusively (mode 0666 less the umask, as fopen would) and
    // lists it; the descriptor, or -1 with errno set (EEXIST when the name is taken, ECANCELED
    // once removeAll has run).
    int create(const std::string& path);
    // Renames a listed temporary to target and drops it from the list. replace false: fails
    // with EEXIST when target exists.
    bool moveInto(const std::string& path, const std::string& target, bool replace);
    // Removes a listed temporary and drops it from the list.
    void discard(const std::string& path);
    // Removes every listed temporary; from then on nothing can be created or moved in. For the
    // end of an interrupted run.
    void removeAll();

private:
    std::mutex mutex_;
    std::set<std::string> paths_;
    bool closed_ = false;
};

// One output being written. Without a registry of its own it lists itself in a private one.
class PartFile {
public:
    explicit PartFile(TemporaryFiles* registry = nullptr) : registry_(registry ? registry : &own_) {}
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Opens a new temporary for target in target's folder; null with errno set when it cannot.
    std::FILE* open(const std::string& target);
    // Flushes and closes the stream; false when a byte did not reach the file.
    bool finishWriting();
    // Renames the finished temporary to the target; replace false: fails with EEXIST when
    // the target exists. False with errno set when it did not happen.
    bool moveIntoPlace(bool replace);
    // Closes and removes the temporary (also done by the destructor unless it was moved).
    void discard();

    const std::string& target() const { return target_; }

private:
    TemporaryFiles own_;
    TemporaryFiles* registry_;
    std::FILE* stream_ = nullptr;
    std::string path_;  // empty once moved or discarded
    std::string target_;
};

// The temporary's name for target: ".NAME.<tag>.part" in target's folder, the name cut so
// that the whole stays within a folder entry's 255 bytes.
std::string temporaryNameFor(const std::string& target, const std::string& tag);

}  // namespace vs
