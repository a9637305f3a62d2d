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
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::pwrite(file.fd, data + done, size - done, off_t(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                fail("write", path);
            }
            done += size_t(n);
        }
    }

    void truncate(const std::string& path, uint64_t size) override {
        if (::truncate(path.c_str(), off_t(size)) != 0) fail("resize", path);
    }

    void flush(const std::string& path) override {
        Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
        if (file.fd < 0) fail("open", path);
        if (::fsync(file.fd) != 0) fail("flush", path);
    }

    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) fail("remove", path);
    }
};

}  // namespace

FileSystem& realFileSystem() {
    static PosixFileSystem system;
    return system;
}

}  // namespace jet
