#pragma once

#include <memory>
#include <ostream>
#include <string>

namespace kestrane::cli {

// Where `kestrane scan --output FILE` puts its report.
//
//  - A regular file, or a name not taken yet, is replaced atomically: the
//    report goes to a temporary file next to it (FILE.kestrane-XXXXXX, made
//    with O_EXCL), is flushed to disk and renamed over FILE once whole. A
//    file that is replaced keeps its permission bits; a new one gets 0644
//    less the umask.
//  - A symbolic link that leads to a regular file stays a link: the file it
//    leads to is replaced in the same way, next to itself.
//  - What is not a regular file but takes a stream of bytes (a FIFO, a
//    character device such as /dev/null or a terminal) is written to
//    directly, as a shell's redirection would, and is never replaced.
//  - A folder, a block device (a disk), a socket and a link that leads
//    nowhere are refused with a message, and nothing is changed.
//
// From the moment the temporary file exists until it is renamed or removed,
// SIGTERM, SIGHUP and SIGINT (where they still have their default action)
// remove it before the process ends with the signal as before; a handler of
// the program's own calls removeTemporaryFileFromSignalHandler().
class ReportFile {
public:
    ReportFile();
    ~ReportFile();  // an open report that was not committed is discarded
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Checks what `path` names and opens it for the report; on a refusal or
    // a failure, puts a one-line message in `error` and changes nothing.
    bool open(const std::string& path, std::string& error);
    std::ostream& stream();
    // Finishes the report: the rename into place, or the last write.
    bool commit(std::string& error);
    // Removes the temporary file (a write-through target is left as it is).
    void discard();

    // Removes the temporary file of the report being written, if there is
    // one. Async-signal-safe: only unlink() on a path kept in a static buffer.
    static void removeTemporaryFileFromSignalHandler();

private:
    class Buffer;
    // existingMode: the permission bits of the file replaced, -1 for none.
    bool openReplacing(const std::string& target, int existingMode, std::string& error);
    bool openWritingThrough(const std::string& path, std::string& error);
    // Closes the report's descriptor; the error of a failed close, or 0.
    int closeDescriptor();

    std::string m_path;    // as given
    std::string m_target;  // the file renamed over (replacing)
    std::string m_temp;    // empty when writing through
    int m_fd = -1;
    unsigned m_mode = 0;   // permission bits of the replacement
    std::unique_ptr<Buffer> m_buffer;
    std::ostream m_stream;
};

}  // namespace kestrane::cli
