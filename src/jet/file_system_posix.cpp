// The operating system's files through POSIX calls.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "jet/error.h"
#include "jet/page_store.h"

namespace jet {

namespace {

[[noreturn]] void fail(const std::string& action, const std::string& path) {
    throw Error("could not " + action + " " + path + ": " + std::strerror(errno));
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() { if (fd >= 0) ::close(fd); }
};

void writeAt(int fd, uint64_t offset, const uint8_t* data, size_t size, const std::string& path) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(fd, data + done, size - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("write", path);
        }
        done += size_t(n);
    }
}

// Makes a new directory entry durable: a file created and flushed is not found after a power cut unless
// its folder is flushed too. A folder that cannot be read, or a file system that cannot flush folders,
// is passed over: the file's own flushes are then all that can be done.
void flushFolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    Descriptor dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0) {
        if (errno == EACCES || errno == EPERM) return;
        fail("open the folder of", path);
    }
    if (::fsync(dir.fd) != 0 && errno != EINVAL && errno != EROFS) fail("flush the folder of", path);
}

// The locks live on single bytes far beyond the end of any database file, where nobody reads or writes.
off_t lockOffset(OpenFile::Lock which) { return off_t(1) << 62 | off_t(which); }

// One descriptor kept open for the store's writes, flushes and locks. The locks are open-file-description
// locks: a second open of the same file, even in this process, is kept out; they go when the file is closed.
class PosixFile : public OpenFile {
public:
    enum Mode { kCreate, kExisting, kReading };
    PosixFile(const std::string& path, Mode mode) : path_(path) {
        if (mode == kCreate) {
            fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd_ >= 0) {
                try {
                    flushFolderOf(path);
                } catch (...) {
                    ::close(fd_);
                    throw;
                }
                return;
            }
            if (errno != EEXIST) fail("open", path);
        }
        fd_ = ::open(path.c_str(), (mode == kReading ? O_RDONLY : O_RDWR) | O_CLOEXEC);
        if (fd_ < 0) fail("open", path);
    }
    ~PosixFile() override { ::close(fd_); }

    void write(uint64_t offset, const uint8_t* data, size_t size) override { writeAt(fd_, offset, data, size, path_); }
    void truncate(uint64_t size) override {
        if (::ftruncate(fd_, off_t(size)) != 0) fail("resize", path_);
    }
    void flush() override {
        if (::fdatasync(fd_) != 0) fail("flush", path_);
    }
    size_t read(uint64_t offset, uint8_t* data, size_t size) override {
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::pread(fd_, data + done, size - done, off_t(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                fail("read", path_);
            }
            if (n == 0) break;  // the end of the file
            done += size_t(n);
        }
        return done;
    }
    uint64_t size() override {
        struct stat info;
        if (::fstat(fd_, &info) != 0) fail("read", path_);
        if (S_ISDIR(info.st_mode)) throw Error("could not read " + path_ + ": it is a folder");
        return uint64_t(info.st_size);
    }

    bool tryLock(Lock which, bool exclusive) override { return setLock(which, exclusive ? F_WRLCK : F_RDLCK, false); }
    void lock(Lock which, bool exclusive) override { setLock(which, exclusive ? F_WRLCK : F_RDLCK, true); }
    void unlock(Lock which) override { setLock(which, F_UNLCK, false); }

private:
    bool setLock(Lock which, short type, bool wait) {
        struct flock range = {};
        range.l_type = type;
        range.l_whence = SEEK_SET;
        range.l_start = lockOffset(which);
        range.l_len = 1;
        while (::fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range) != 0) {
            if (errno == EINTR) continue;
            if (!wait && (errno == EAGAIN || errno == EACCES)) return false;
            fail("lock", path_);
        }
        return true;
    }

    std::string path_;
    int fd_ = -1;
};

class PosixFileSystem : public FileSystem {
public:
    bool exists(const std::string& path) override {
        struct stat info;
        return ::stat(path.c_str(), &info) == 0;
    }

    std::vector<uint8_t> readAll(const std::string& path) override {
        Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
        if (file.fd < 0) fail("open", path);
        struct stat info;
        if (::fstat(file.fd, &info) != 0) fail("read", path);
        if (S_ISDIR(info.st_mode)) throw Error("could not read " + path + ": it is a folder");
        std::vector<uint8_t> data;
        data.reserve(size_t(info.st_size));
        uint8_t buffer[65536];
        for (;;) {
            ssize_t n = ::read(file.fd, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) continue;
                fail("read", path);
            }
            if (n == 0) break;
            data.insert(data.end(), buffer, buffer + n);
        }
        return data;
    }

    void write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        Descriptor file{::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)};
        if (file.fd < 0) fail("open", path);
        writeAt(file.fd, offset, data, size, path);
    }

    void truncate(const std::string& path, uint64_t size) override {
        if (::truncate(path.c_str(), off_t(size)) != 0) fail("resize", path);
    }

    void flush(const std::string& path) override {
        Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
        if (file.fd < 0) fail("open", path);
        if (::fdatasync(file.fd) != 0) fail("flush", path);
    }

    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) fail("remove", path);
    }

    void rename(const std::string& from, const std::string& to) override {
        // A hard link refuses an existing name, where rename() would replace it. A file system without hard
        // links gets a rename after a look that the name is free.
        if (::link(from.c_str(), to.c_str()) == 0) {
            if (::unlink(from.c_str()) != 0) fail("rename", from + " to " + to);
        } else {
            if (errno == EEXIST || exists(to)) throw Error("could not rename " + from + " to " + to + ": the name is taken");
            if (::rename(from.c_str(), to.c_str()) != 0) fail("rename", from + " to " + to);
        }
        flushFolderOf(to);
    }

    std::unique_ptr<OpenFile> open(const std::string& path) override {
        return std::make_unique<PosixFile>(path, PosixFile::kCreate);
    }
    std::unique_ptr<OpenFile> openDatabase(const std::string& path) override {
        return std::make_unique<PosixFile>(path, PosixFile::kExisting);
    }
    std::unique_ptr<OpenFile> openForReading(const std::string& path) override {
        return std::make_unique<PosixFile>(path, PosixFile::kReading);
    }

    bool createNew(const std::string& path, const uint8_t* data, size_t size) override {
        Descriptor file{::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)};
        if (file.fd < 0) {
            if (errno == EEXIST) return false;
            fail("create", path);
        }
        try {
            writeAt(file.fd, 0, data, size, path);
            if (::fdatasync(file.fd) != 0) fail("flush", path);
            flushFolderOf(path);
        } catch (...) {
            ::unlink(path.c_str());  // ours, made just now, and incomplete
            throw;
        }
        return true;
    }
};

}  // namespace

FileSystem& realFileSystem() {
    static PosixFileSystem system;
    return system;
}

}  // namespace jet
