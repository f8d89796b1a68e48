#pragma once

#include "platform/FileIdentity.h"
#include "platform/FileTime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace kestrane {

// Content keys: the strings that stand for a file's content. Two files are
// taken as identical exactly when their keys are equal.
//
//  - full key: MD5 of every byte of the file, 32 lowercase hex characters;
//  - partial key: MD5 of three blocks of a large file (start, end, middle),
//    written the same way; it shares the key space of the full keys;
//  - name key, for an empty file: its name followed by ":#filename#", so that
//    empty files match only empty files of exactly the same name.
//
// The routines only ever read regular files: a path that names a FIFO, a
// socket, a device, a folder or a symbolic link gives no key and is never read
// (it is opened non-blocking, checked with fstat and closed at once; the
// final component is not followed). Paths of any length are opened (relative
// to their parent folder when they are longer than PATH_MAX). A file that
// changes while it is read gives a key over what was read, or none, except
// through keyForListedFile, which refuses it; nothing here throws.
//
// Every routine is safe to call from any thread at the same time. Reading
// uses one stack buffer of kReadChunkLength bytes per call.
class ContentHasher {
public:
    static constexpr std::size_t kReadChunkLength = 8192;
    // The block length of partial keys unless the settings say otherwise.
    static constexpr std::uint64_t kDefaultHashBlockLength = 8192;
    // Below this size the blocks of a partial key keep their natural offsets;
    // from it on the middle and end blocks start on a multiple of kBlockAlignment.
    static constexpr std::uint64_t kAlignedBlocksMinSize = 3 * 4096 + 1;
    static constexpr std::uint64_t kBlockAlignment = 4096;
    static constexpr std::string_view kNameKeySuffix = ":#filename#";
    // Files up to this size fit in the kernel's default read-ahead window
    // (128 KiB): they are read without advice; longer ones are advised as
    // read in sequence (full keys) or at random (partial keys).
    static constexpr std::uint64_t kReadAdviceMinSize = 128 * 1024;

    // What the caller knows of the path. `regular`: a scan has just seen a
    // regular file there, so it is opened straight away (still without
    // following a link and without blocking, and still refused unless it is
    // a regular file once open); `unknown`: it is looked at first, so that
    // nothing but a regular file is ever opened.
    enum class FileKind { unknown, regular };

    // Why keyForListedFile gave no key.
    enum class Failure : std::uint8_t {
        none,
        cannotOpen,      // see error
        notRegularFile,  // something else than a regular file is there now
        readFailed,      // see error
        changed,         // its size is not the listed one, or it changed while it was read
    };
    struct KeyResult {
        std::optional<std::string> key;
        bool partial = false;  // the key covers three blocks, not every byte
        Failure failure = Failure::none;
        int error = 0;  // the errno of cannotOpen and readFailed
        // With a key: the file that was read, and its modification time
        // then (the same before and after the reading).
        platform::FileIdentity identity;
        platform::FileTime modification;
    };

    // The key of a file that a scan listed with listedSize bytes: the partial
    // key when usesPartialKey(listedSize, blockLength, threshold), else the
    // full key. No key when the file does not have the listed size once open,
    // or when its size or modification time differ after it was read: a key
    // over other data than the scan saw would group the file on stale facts.
    static KeyResult keyForListedFile(const std::string& path, std::uint64_t listedSize, std::uint64_t blockLength,
                                      std::uint64_t threshold, FileKind kind = FileKind::regular);
    // Whether a file of this size gets a partial key: size >= threshold and
    // size >= 3 * blockLength, with a block length and a size other than 0.
    static bool usesPartialKey(std::uint64_t size, std::uint64_t blockLength, std::uint64_t threshold);

    // The full key of the file, or none when it can't be opened or a read fails.
    static std::optional<std::string> hashForFile(const std::string& path, FileKind kind = FileKind::unknown);

    // The partial key when size != 0, size >= threshold and size >= 3 * blockLength;
    // otherwise the full key. None when the file can't be opened. The size is
    // the caller's (the item's logical size); the file system is not asked.
    // A block length of 0 gives the full key.
    static std::optional<std::string> hashForFilePartly(const std::string& path, std::uint64_t size,
                                                        std::uint64_t blockLength, std::uint64_t threshold,
                                                        FileKind kind = FileKind::unknown);

    // The key of an empty file with this name.
    static std::string nameKey(std::string_view name);
    // The key text of an MD5 digest: 32 lowercase hexadecimal characters.
    static std::string hexKey(const std::array<unsigned char, 16>& digest);

    // Whether a partial match of this file must be confirmed by a full key:
    // its extension (any case) is in fullCheckExtensions(), or it is a PNG
    // that isNeedFullCheckPNGAtPath() accepts. A name without an extension
    // never needs it.
    static bool isNeedFullHashBuildForPath(const std::string& path);

    // Whether the first IDAT chunk of the PNG at path starts with a zlib
    // header 78 01 followed by a byte with bits 0x40 and 0x20 clear (stored
    // or barely compressed image data, where the three blocks of a partial
    // key say little about the rest). No for anything that is not a
    // well-formed PNG up to that point, and on any read failure.
    static bool isNeedFullCheckPNGAtPath(const std::string& path);

    // The lowercase extensions whose files always get a full check: text,
    // markup, data and source files, uncompressed images and audio, camera
    // raw images. Built once, safe against concurrent first use.
    static const std::unordered_set<std::string>& fullCheckExtensions();
};

}  // namespace kestrane
