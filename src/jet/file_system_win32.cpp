// The operating system's files through Win32 calls. Paths arrive as UTF-8 and go to the W functions.
#include <windows.h>

#include <algorithm>
#include <string>

#include "jet/error.h"
#include "jet/page_store.h"

namespace jet {

namespace {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    if (length <= 0) throw Error("the path " + utf8 + " is not valid UTF-8");
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], length);
    return wide;
}

[[noreturn]] void fail(const std::string& action, const std::string& path) {
    DWORD code = GetLastError();
    throw Error("could not " + action + " " + path + " (Windows error " + std::to_string(code) + ")");
}

// Closes a handle when it goes out of scope.
struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    Handle(HANDLE handle) : h(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

HANDLE openForWriting(const std::string& path, DWORD disposition) {
    return CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void writeAt(HANDLE file, uint64_t offset, const uint8_t* data, size_t size, const std::string& path) {
    LARGE_INTEGER position;
    position.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) fail("write", path);
    size_t done = 0;
    while (done < size) {
        DWORD chunk = DWORD(std::min<size_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data + done, chunk, &written, nullptr) || written == 0) fail("write", path);
        done += written;
    }
}

void resize(HANDLE file, uint64_t size, const std::string& path) {
    LARGE_INTEGER position;
    position.QuadPart = LONGLONG(size);
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) fail("resize", path);
}

// One handle kept open for the store's writes and flushes. NTFS records a new file's directory entry in its
// own log, so there is no folder to flush as on POSIX.
class Win32File : public OpenFile {
public:
    explicit Win32File(const std::string& path) : path_(path), handle_{openForWriting(path, OPEN_ALWAYS)} {
        if (handle_.h == INVALID_HANDLE_VALUE) fail("open", path);
    }
    void write(uint64_t offset, const uint8_t* data, size_t size) override { writeAt(handle_.h, offset, data, size, path_); }
    void truncate(uint64_t size) override { resize(handle_.h, size, path_); }
    void flush() override {
        if (!FlushFileBuffers(handle_.h)) fail("flush", path_);
    }

private:
    std::string path_;
    Handle handle_;
};

class Win32FileSystem : public FileSystem {
public:
    bool exists(const std::string& path) override {
        return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::vector<uint8_t> readAll(const std::string& path) override {
        Handle file{CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.h == INVALID_HANDLE_VALUE) fail("open", path);
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file.h, &size)) fail("read", path);
        if (size.QuadPart < 0 || uint64_t(size.QuadPart) > uint64_t(SIZE_MAX) / 2)
            throw Error("could not read " + path + ": it is too large");
        std::vector<uint8_t> data(size_t(size.QuadPart));
        size_t done = 0;
        while (done < data.size()) {
            DWORD chunk = DWORD(std::min<size_t>(data.size() - done, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(file.h, data.data() + done, chunk, &got, nullptr)) fail("read", path);
            if (got == 0) break;  // the file shrank meanwhile
            done += got;
        }
        data.resize(done);
        return data;
    }

    void write(const std::string& path, uint64_t offset, const uint8_t* data, size_t size) override {
        Handle file{openForWriting(path, OPEN_ALWAYS)};
        if (file.h == INVALID_HANDLE_VALUE) fail("open", path);
        writeAt(file.h, offset, data, size, path);
    }

    void truncate(const std::string& path, uint64_t size) override {
        Handle file{openForWriting(path, OPEN_EXISTING)};
        if (file.h == INVALID_HANDLE_VALUE) fail("open", path);
        resize(file.h, size, path);
    }

    void flush(const std::string& path) override {
        Handle file{openForWriting(path, OPEN_EXISTING)};
        if (file.h == INVALID_HANDLE_VALUE) fail("open", path);
        if (!FlushFileBuffers(file.h)) fail("flush", path);
    }

    void remove(const std::string& path) override {
        if (DeleteFileW(widen(path).c_str())) return;
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return;
        fail("remove", path);
    }

    std::unique_ptr<OpenFile> open(const std::string& path) override { return std::make_unique<Win32File>(path); }
};

}  // namespace

FileSystem& realFileSystem() {
    static Win32FileSystem system;
    return system;
}

}  // namespace jet
