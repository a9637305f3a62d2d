// The operating system's files through Win32 calls. Paths arrive as UTF-8 and go to the W functions, so any
// folder Windows allows works (never the ANSI code page).
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

bool inUse(DWORD code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION; }

// The locks live on single bytes far beyond the end of any database file, where nobody reads or writes
// (Windows locks keep other handles from reading and writing the locked bytes).
OVERLAPPED lockPlace(OpenFile::Lock which) {
    OVERLAPPED place = {};
    place.Offset = DWORD(which);
    place.OffsetHigh = 0x40000000;  // byte 2^62
    return place;
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

// One handle kept open for the store's writes, flushes and locks. NTFS records a new file's directory entry in
// its own log, so there is no folder to flush as on POSIX.
//
// A database opened for changes shares reading only: no other handle may write it while it is open, whatever
// program asks (a second opener for changes gets a sharing violation, reported as the file being in use).
// Locks belong to the handle, so a second handle of this process is kept out too; closing drops them.
class Win32File : public OpenFile {
public:
    enum Mode { kJournal, kDatabase, kReading };
    Win32File(const std::string& path, Mode mode) : path_(path), handle_{open(path, mode)} {
        if (handle_.h == INVALID_HANDLE_VALUE) {
            if (mode == kDatabase && inUse(GetLastError())) throw InUseError(path);
            fail("open", path);
        }
    }
    void write(uint64_t offset, const uint8_t* data, size_t size) override { writeAt(handle_.h, offset, data, size, path_); }
    void truncate(uint64_t size) override { resize(handle_.h, size, path_); }
    void flush() override {
        if (!FlushFileBuffers(handle_.h)) fail("flush", path_);
    }
    size_t read(uint64_t offset, uint8_t* data, size_t size) override {
        size_t done = 0;
        while (done < size) {
            OVERLAPPED place = {};
            place.Offset = DWORD(offset + done);
            place.OffsetHigh = DWORD((offset + done) >> 32);
            DWORD chunk = DWORD(std::min<size_t>(size - done, 1u << 30)), got = 0;
            if (!ReadFile(handle_.h, data + done, chunk, &got, &place)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                fail("read", path_);
            }
            if (got == 0) break;  // the end of the file
            done += got;
        }
        return done;
    }
    uint64_t size() override {
        LARGE_INTEGER length;
        if (!GetFileSizeEx(handle_.h, &length) || length.QuadPart < 0) fail("read", path_);
        return uint64_t(length.QuadPart);
    }

    bool tryLock(Lock which, bool exclusive) override {
        if (setLock(which, exclusive, false)) return true;
        if (inUse(GetLastError())) return false;
        fail("lock", path_);
    }
    void lock(Lock which, bool exclusive) override {
        if (!setLock(which, exclusive, true)) fail("lock", path_);
    }
    void unlock(Lock which) override {
        OVERLAPPED place = lockPlace(which);
        UnlockFileEx(handle_.h, 0, 1, 0, &place);
    }

private:
    static HANDLE open(const std::string& path, Mode mode) {
        switch (mode) {
        case kJournal: return openForWriting(path, OPEN_ALWAYS);
        case kDatabase:
            return CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        case kReading:
            return CreateFileW(widen(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        }
        return INVALID_HANDLE_VALUE;
    }

    bool setLock(Lock which, bool exclusive, bool wait) {
        OVERLAPPED place = lockPlace(which);
        DWORD flags = (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
        return LockFileEx(handle_.h, flags, 0, 1, 0, &place) != 0;
    }

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

    void rename(const std::string& from, const std::string& to) override {
        if (!MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_WRITE_THROUGH))
            fail("rename", from + " to " + to);
    }

    std::unique_ptr<OpenFile> open(const std::string& path) override {
        return std::make_unique<Win32File>(path, Win32File::kJournal);
    }
    std::unique_ptr<OpenFile> openDatabase(const std::string& path) override {
        return std::make_unique<Win32File>(path, Win32File::kDatabase);
    }
    std::unique_ptr<OpenFile> openForReading(const std::string& path) override {
        return std::make_unique<Win32File>(path, Win32File::kReading);
    }

    bool createNew(const std::string& path, const uint8_t* data, size_t size) override {
        std::wstring wide = widen(path);
        Handle file{CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.h == INVALID_HANDLE_VALUE) {
            DWORD code = GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return false;
            fail("create", path);
        }
        try {
            writeAt(file.h, 0, data, size, path);
            if (!FlushFileBuffers(file.h)) fail("flush", path);
        } catch (...) {
            CloseHandle(file.h);
            file.h = INVALID_HANDLE_VALUE;
            DeleteFileW(wide.c_str());  // ours, made just now, and incomplete
            throw;
        }
        return true;
    }
};

}  // namespace

FileSystem& realFileSystem() {
    static Win32FileSystem system;
    return system;
}

}  // namespace jet
