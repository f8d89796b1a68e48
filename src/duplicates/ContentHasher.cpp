#include "duplicates/ContentHasher.h"

#include "duplicates/PartialKeyBlocks.h"
#include "duplicates/RegularFile.h"
#include "platform/NoDestructor.h"
#include "platform/Text.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {

namespace {

// The MD5 implementation, fetched from the default provider once: fetching it
// again for every file costs more than hashing a small one.
const EVP_MD* md5Algorithm() {
    static const EVP_MD* const algorithm = [] {
        // OpenSSL frees its global state from an exit handler by default; a
        // hashing thread still finishing at exit would then use freed memory.
        OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
        const EVP_MD* fetched = EVP_MD_fetch(nullptr, "MD5", nullptr);
        return fetched ? fetched : EVP_md5();
    }();
    return algorithm;
}

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// One MD5 digest in progress, in a context kept by the thread for all its
// digests (allocating one per file costs more than hashing a small file). A
// failure of the library (none in practice, but MD5 may be disabled by the
// system's crypto policy) makes it invalid, and the key is then none. One
// digest at a time per thread.
class Md5 {
public:
    Md5() : m_context(threadContext()) {
        m_valid = m_context && EVP_DigestInit_ex(m_context, md5Algorithm(), nullptr) == 1;
    }

    bool valid() const { return m_valid; }

    void update(const unsigned char* bytes, std::size_t length) {
        if (m_valid && length > 0) m_valid = EVP_DigestUpdate(m_context, bytes, length) == 1;
    }

    std::optional<std::string> finalHex() {
        if (!m_valid) return std::nullopt;
        std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context, digest.data(), &length) != 1 || length != 16) return std::nullopt;
        std::array<unsigned char, 16> bytes{};
        std::copy_n(digest.begin(), bytes.size(), bytes.begin());
        return ContentHasher::hexKey(bytes);
    }

private:
    static EVP_MD_CTX* threadContext() {
        thread_local std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
        return context.get();
    }

    EVP_MD_CTX* m_context;
    bool m_valid = false;
};

// Reads the file from its current position to the end into the digest and
// counts the bytes. False when a read fails (errno tells why).
bool digestToEnd(RegularFile& file, Md5& md5, std::uint64_t& bytesRead) {
    unsigned char buffer[ContentHasher::kReadChunkLength];
    for (;;) {
        const ssize_t n = file.read(buffer, sizeof buffer);
        if (n < 0) return false;
        if (n == 0) return true;
        md5.update(buffer, static_cast<std::size_t>(n));
        bytesRead += static_cast<std::uint64_t>(n);
    }
}


struct WholeDigest {
    std::optional<std::string> key;
    std::uint64_t bytesRead = 0;
    int error = 0;  // why a read failed
};
WholeDigest digestWholeFile(RegularFile& file);
std::optional<std::string> digestBlocks(RegularFile& file, std::uint64_t size, std::uint64_t blockLength);

using Block = PartialKeyBlock;

// Feeds one block: whole chunks are requested from the block's offset on until
// the bytes read reach or pass the block's length. A short read (end of file)
// or a failed one ends the block after what it brought.
void digestBlock(RegularFile& file, const Block& block, std::size_t chunkLength, Md5& md5) {
    unsigned char buffer[ContentHasher::kReadChunkLength];
    std::uint64_t done = 0;
    while (done < block.length) {
        const std::uint64_t position = block.offset + done;
        if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return;
        const ssize_t n = file.readAt(buffer, chunkLength, position);
        if (n <= 0) return;
        md5.update(buffer, static_cast<std::size_t>(n));
        done += static_cast<std::uint64_t>(n);
        if (static_cast<std::size_t>(n) < chunkLength) return;
    }
}

// Reads up to length bytes at position; the count read, or -1 on a failure.
ssize_t readAt(RegularFile& file, unsigned char* buffer, std::size_t length, std::uint64_t position) {
    std::size_t done = 0;
    while (done < length) {
        if (position + done > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) break;
        const ssize_t n = file.readAt(buffer + done, length - done, position + done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

std::uint32_t bigEndian32(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}


}  // namespace

std::optional<std::string> ContentHasher::hashForFile(const std::string& path, FileKind kind) {
    RegularFile file(path, kind);
    if (!file.isOpen()) return std::nullopt;
    return digestWholeFile(file).key;
}

bool ContentHasher::usesPartialKey(std::uint64_t size, std::uint64_t blockLength, std::uint64_t threshold) {
    // blockLength > size / 3 is 3 * blockLength > size without the overflow.
    return blockLength != 0 && size != 0 && size >= threshold && blockLength <= size / 3;
}

ContentHasher::KeyResult ContentHasher::keyForListedFile(const std::string& path, std::uint64_t listedSize,
                                                         std::uint64_t blockLength, std::uint64_t threshold,
                                                         FileKind kind) {
    KeyResult result;
    RegularFile file(path, kind);
    if (!file.isOpen()) {
        result.failure = file.failure();
        result.error = file.error();
        return result;
    }
    if (file.size() != listedSize) {
        result.failure = Failure::changed;
        return result;
    }
    std::optional<std::string> key;
    if (usesPartialKey(listedSize, blockLength, threshold)) {
        key = digestBlocks(file, listedSize, blockLength);
        result.partial = true;
    } else {
        WholeDigest whole = digestWholeFile(file);
        if (!whole.key) {
            result.failure = Failure::readFailed;
            result.error = whole.error;
            return result;
        }
        if (whole.bytesRead != listedSize) {
            result.failure = Failure::changed;
            return result;
        }
        key = std::move(whole.key);
    }
    if (!key) {
        result.failure = Failure::readFailed;
        return result;
    }
    if (!file.unchangedSinceOpen()) {
        result.failure = Failure::changed;
        result.partial = false;
        return result;
    }
    result.key = std::move(key);
    result.identity = file.identity();
    result.modification = file.modification();
    return result;
}

namespace {

WholeDigest digestWholeFile(RegularFile& file) {
    WholeDigest digest;
    Md5 md5;
    if (!md5.valid()) return digest;
    // Read-ahead only pays where the file is longer than the kernel's window.
    if (file.size() > ContentHasher::kReadAdviceMinSize) ::posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!digestToEnd(file, md5, digest.bytesRead)) {
        digest.error = errno;
        return digest;
    }
    digest.key = md5.finalHex();
    return digest;
}

// The partial key of an open file of this size: the start, end and middle blocks.
std::optional<std::string> digestBlocks(RegularFile& file, std::uint64_t size, std::uint64_t blockLength) {
    const std::size_t chunkLength =
        static_cast<std::size_t>(std::min<std::uint64_t>(ContentHasher::kReadChunkLength, blockLength));
    const auto [start, end, middle] = partialKeyBlocks(size, blockLength);
    Md5 md5;
    if (!md5.valid()) return std::nullopt;
    // Three blocks far apart: read-ahead past them would be wasted. Files
    // within the kernel's read-ahead window are left alone (the advice would
    // cost a call and save nothing).
    if (size > ContentHasher::kReadAdviceMinSize) ::posix_fadvise(file.fd(), 0, 0, POSIX_FADV_RANDOM);
    digestBlock(file, start, chunkLength, md5);
    digestBlock(file, end, chunkLength, md5);
    digestBlock(file, middle, chunkLength, md5);
    return md5.finalHex();
}

}  // namespace

std::array<PartialKeyBlock, 3> partialKeyBlocks(std::uint64_t size, std::uint64_t blockLength) {
    const std::uint64_t rest = size - blockLength;
    const PartialKeyBlock start{0, blockLength};
    if (size < ContentHasher::kAlignedBlocksMinSize) return {start, {rest, blockLength}, {rest / 2, blockLength}};
    // Larger files: the middle and end blocks start on an aligned offset, the
    // end block running to the end of the file.
    constexpr std::uint64_t alignment = ContentHasher::kBlockAlignment;
    const std::uint64_t endOffset = rest / alignment * alignment;
    return {start, {endOffset, size - endOffset}, {rest / 2 / alignment * alignment, blockLength}};
}

std::optional<std::string> ContentHasher::hashForFilePartly(
    const std::string& path, std::uint64_t size, std::uint64_t blockLength, std::uint64_t threshold, FileKind kind) {
    if (!usesPartialKey(size, blockLength, threshold)) return hashForFile(path, kind);
    RegularFile file(path, kind);
    if (!file.isOpen()) return std::nullopt;
    return digestBlocks(file, size, blockLength);
}

std::string ContentHasher::hexKey(const std::array<unsigned char, 16>& digest) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex(32, '0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        hex[2 * i] = kHex[digest[i] >> 4];
        hex[2 * i + 1] = kHex[digest[i] & 0x0f];
    }
    return hex;
}

std::string ContentHasher::nameKey(std::string_view name) {
    std::string key;
    key.reserve(name.size() + kNameKeySuffix.size());
    key.append(name);
    key.append(kNameKeySuffix);
    return key;
}

bool ContentHasher::isNeedFullHashBuildForPath(const std::string& path) {
    // A dot name without an extension (".editorconfig") is typed by its
    // name: such files are settings and text.
    std::string_view extension = platform::pathExtension(path);
    if (extension.empty()) {
        const std::size_t slash = path.rfind('/');
        const std::string_view name = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
        if (name.size() > 1 && name.front() == '.' && name.find('.', 1) == std::string_view::npos) extension = name.substr(1);
    }
    if (extension.empty()) return false;
    const std::string lower = platform::asciiLowercased(extension);
    if (fullCheckExtensions().contains(lower)) return true;
    return lower == "png" && isNeedFullCheckPNGAtPath(path);
}

bool ContentHasher::isNeedFullCheckPNGAtPath(const std::string& path) {
    static constexpr unsigned char kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    RegularFile file(path, FileKind::unknown);
    if (!file.isOpen()) return false;

    unsigned char header[8];
    if (readAt(file, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)) return false;
    if (std::memcmp(header, kSignature, sizeof kSignature) != 0) return false;

    std::uint64_t position = sizeof kSignature;
    for (;;) {
        // Chunk length and type.
        if (readAt(file, header, sizeof header, position) != static_cast<ssize_t>(sizeof header)) return false;
        position += sizeof header;
        if (std::memcmp(header + 4, "IDAT", 4) == 0) {
            unsigned char data[3];
            if (readAt(file, data, sizeof data, position) != static_cast<ssize_t>(sizeof data)) return false;
            return data[0] == 0x78 && data[1] == 0x01 && (data[2] & 0x60) == 0;
        }
        // Skip the data and the CRC.
        position += std::uint64_t{bigEndian32(header)} + 4;
    }
}

const std::unordered_set<std::string>& ContentHasher::fullCheckExtensions() {
    static platform::NoDestructor<const std::unordered_set<std::string>> extensions(std::unordered_set<std::string>{
        // Text, markup, data and source.
        "txt", "rtf", "csv", "tsv", "html", "htm", "xhtml", "xml", "shtml", "rhtml", "css", "scss", "json", "yml",
        "yaml", "plist", "strings", "ini", "cfg", "conf", "editorconfig", "log", "text", "textile", "mark",
        "markdown", "md", "mdown", "setext", "etx", "stx", "tex", "dat", "data", "rss", "wml", "webloc", "incl",
        "tmpl", "sql", "mssql", "tql", "mysql", "pgsql", "pis",
        // Program source.
        "h", "c", "cpp", "cc", "cp", "cx", "c++", "hh", "hpp", "pch", "m", "mm", "py", "as", "f", "for", "ftn",
        "f77", "f90", "f95", "f2k", "asp", "cfm", "java", "j", "js", "jsp", "lua", "mk", "p", "pas", "pp", "pl",
        "pm", "php", "php3", "php4", "php5", "r", "rez", "rb", "erb", "tcl", "vbs", "vs", "vss", "v", "vl", "vhd",
        "vhdl", "dxf",
        // Uncompressed images and audio.
        "bmp", "tif", "tiff", "aif", "aiff",
        // Camera raw images.
        "3fr", "ari", "arw", "bay", "cap", "cri", "crw", "dcs", "dng", "erf", "fff", "mdc", "mef", "mos", "mrw",
        "nef", "orf", "pef", "pxn", "r3d", "raf", "raw", "rwl", "rwz", "srw", "x3f"});
    return *extensions;
}

}  // namespace kestrane
