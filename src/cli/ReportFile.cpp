#include "cli/ReportFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <streambuf>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::cli {

namespace {

// The temporary file a signal handler removes. Written only while the
// signals are blocked in the writing thread (the only thread when a report
// is opened), read by the handlers; the flag says whether it names a file.
constexpr std::size_t kPendingCapacity = 4096;  // PATH_MAX: no longer path can be created
char g_pendingPath[kPendingCapacity];
std::atomic<bool> g_hasPending{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the handlers read the flag");

constexpr int kCleanupSignals[] = {SIGTERM, SIGHUP, SIGINT};

void onTerminatingSignal(int signal) {
    ReportFile::removeTemporaryFileFromSignalHandler();
    // End as the signal would have ended the process: with the default action
    // back, the signal raised here is delivered as soon as the handler returns.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);
}

// Only signals that still end the process by default get the handler: an
// ignored SIGHUP (nohup) stays ignored, a handler of the program's own stays.
void installCleanupHandlers() {
    for (const int signal : kCleanupSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0) continue;
        if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction action {};
        action.sa_handler = onTerminatingSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

std::string kindOf(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFDIR: return "a folder";
    case S_IFBLK: return "a block device";
    case S_IFCHR: return "a character device";
    case S_IFIFO: return "a FIFO";
    case S_IFSOCK: return "a socket";
    case S_IFLNK: return "a symbolic link";
    default: return "not a regular file";
    }
}

}  // namespace

// Hands the report to a file descriptor in large writes, keeping the first
// error (the stream fails from then on).
class ReportFile::Buffer final : public std::streambuf {
public:
    explicit Buffer(int fd) : m_fd(fd) { setp(m_data, m_data + sizeof m_data); }
    int error() const { return m_error; }

protected:
    int_type overflow(int_type c) override {
        if (!drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

private:
    bool drain() {
        if (m_error != 0) return false;
        for (const char* at = pbase(); at < pptr();) {
            const ssize_t written = ::write(m_fd, at, static_cast<std::size_t>(pptr() - at));
            if (written < 0) {
                if (errno == EINTR) continue;
                m_error = errno;
                return false;
            }
            at += written;
        }
        setp(m_data, m_data + sizeof m_data);
        return true;
    }

    int m_fd;
    int m_error = 0;
    char m_data[1 << 16];
};

ReportFile::ReportFile() : m_stream(nullptr) {}

ReportFile::~ReportFile() {
    if (m_fd >= 0) discard();
}

std::ostream& ReportFile::stream() {
    return m_stream;
}

void ReportFile::removeTemporaryFileFromSignalHandler() {
    if (g_hasPending.load()) ::unlink(g_pendingPath);
}

bool ReportFile::open(const std::string& path, std::string& error) {
    m_path = path;
    const auto refuse = [&](const std::string& why) {
        error = "cannot write the report to " + path + ": " + why;
        return false;
    };
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return openReplacing(path, -1, error);
        return refuse(std::string(std::strerror(errno)) + " (choose another --output)");
    }
    std::string target = path;
    if (S_ISLNK(info.st_mode)) {
        if (::stat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) return refuse("it is a symbolic link to nothing (name the file itself)");
            return refuse(std::string(std::strerror(errno)) + " (choose another --output)");
        }
        if (S_ISREG(info.st_mode)) {
            // The file the link leads to is replaced, next to itself; the link stays.
            const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
            struct stat again {};
            if (!resolved || ::lstat(resolved.get(), &again) != 0 || !S_ISREG(again.st_mode) ||
                again.st_dev != info.st_dev || again.st_ino != info.st_ino)
                return refuse("the file the symbolic link leads to has no name of its own (name the file itself)");
            target = resolved.get();
        }
    }
    switch (info.st_mode & S_IFMT) {
    case S_IFREG: return openReplacing(target, static_cast<int>(info.st_mode & 0777), error);
    case S_IFIFO:
    case S_IFCHR: return openWritingThrough(path, error);
    case S_IFDIR: return refuse("it is a folder (name a file for the report)");
    case S_IFBLK: return refuse("it is a block device; a report is never written onto a disk");
    default: return refuse("it is " + kindOf(info.st_mode) + " (name a file for the report)");
    }
}

bool ReportFile::openReplacing(const std::string& target, int existingMode, std::string& error) {
    installCleanupHandlers();
    std::string temp = target + ".kestrane-XXXXXX";
    // Named for the handlers before a signal can see the file without its name.
    sigset_t blocked;
    sigset_t previous;
    sigemptyset(&blocked);
    for (const int signal : kCleanupSignals) sigaddset(&blocked, signal);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    int fd = -1;
    if (temp.size() < kPendingCapacity) {
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
    } else {
        errno = ENAMETOOLONG;
    }
    const int err = errno;
    if (fd >= 0) {
        std::memcpy(g_pendingPath, temp.c_str(), temp.size() + 1);
        g_hasPending.store(true);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) {
        error = "cannot write the report to " + m_path + ": " + std::strerror(err) + " (choose another --output)";
        return false;
    }
    m_target = target;
    m_temp = std::move(temp);
    m_mode = existingMode >= 0 ? static_cast<unsigned>(existingMode) : (0644 & ~currentUmask());
    m_fd = fd;
    m_buffer = std::make_unique<Buffer>(fd);
    m_stream.rdbuf(m_buffer.get());
    return true;
}

bool ReportFile::openWritingThrough(const std::string& path, std::string& error) {
    // Without O_CREAT or O_TRUNC: nothing is made or cut. A FIFO waits here
    // for its reader, as it would for a shell.
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = "cannot write the report to " + path + ": " + std::strerror(errno) + " (choose another --output)";
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))) {
        ::close(fd);
        error = "cannot write the report to " + path + ": it changed while it was being opened";
        return false;
    }
    m_temp.clear();
    m_fd = fd;
    m_buffer = std::make_unique<Buffer>(fd);
    m_stream.rdbuf(m_buffer.get());
    return true;
}

int ReportFile::closeDescriptor() {
    m_stream.rdbuf(nullptr);
    int err = 0;
    if (m_fd >= 0 && ::close(m_fd) != 0 && errno != EINTR) err = errno;
    m_fd = -1;
    return err;
}

bool ReportFile::commit(std::string& error) {
    m_stream.flush();
    int err = m_buffer ? m_buffer->error() : EBADF;
    if (m_temp.empty()) {
        const int closeError = closeDescriptor();
        if (err == 0) err = closeError;
        if (err == 0) return true;
        error = "cannot write the report to " + m_path + ": " + std::strerror(err);
        return false;
    }

    if (err == 0) ::fchmod(m_fd, static_cast<mode_t>(m_mode));
    if (err == 0 && ::fsync(m_fd) != 0) err = errno;
    const int closeError = closeDescriptor();
    if (err == 0) err = closeError;
    // The scan may have taken long: what is there now must still be a
    // regular file (or nothing) to be replaced.
    struct stat now {};
    if (err == 0 && ::lstat(m_target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        discard();
        error = "cannot write the report to " + m_path + ": " + m_target + " became " + kindOf(now.st_mode) +
                " during the scan, and only a regular file is replaced";
        return false;
    }
    if (err == 0 && ::rename(m_temp.c_str(), m_target.c_str()) != 0) err = errno;
    if (err != 0) ::unlink(m_temp.c_str());
    g_hasPending.store(false);  // after the rename: a signal in between removes a name that is gone
    m_temp.clear();
    if (err != 0) {
        error = "cannot write the report to " + m_path + ": " + std::strerror(err);
        return false;
    }
    // Make the rename itself durable.
    const std::string folder = m_target.substr(0, m_target.find_last_of('/') + 1);
    const int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

void ReportFile::discard() {
    closeDescriptor();
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        g_hasPending.store(false);
        m_temp.clear();
    }
}

}  // namespace kestrane::cli
