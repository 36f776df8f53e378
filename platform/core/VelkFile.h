#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Where new file content goes while a file is being replaced.
class IByteSink {
public:
    virtual ~IByteSink() = default;
    virtual bool Write(const void* data, std::size_t size) = 0;
    virtual bool Flush() = 0;
};

// Lets a test put its own sink (one that fails after N bytes, say) in front of the real one.
using SinkWrapper = std::function<std::unique_ptr<IByteSink>(std::unique_ptr<IByteSink>)>;

// Every file the module writes is replaced atomically: the content goes to a temporary file
// beside the file, is flushed, and is renamed over the old file only when every write
// succeeded. On any failure the old file is left byte for byte as it was and false returned.
//
// What the user had stays as it was: a symbolic link of the process's user or of root is
// followed and its target replaced (a link of anyone else is refused); the new file keeps the
// old one's mode and, where the process may, its owner; a file the process may not write, or
// one that is no regular file, is not replaced. A folder that takes no new files (read-only
// while its files are writable) gets the content written into the existing file in place: the
// old content is first kept whole in the user's state directory (VelkInPlaceCopyPath), which a
// kill in the middle of the write leaves there; should the write fail, the old content is
// written back. The process's umask is never changed.
//
// When the temporary cannot take the place of the file, the writer is asked for the content a
// second time; it must give the same bytes.
//
// Temporaries are named "<file>.tmp-<pid>-<random>" and locked while written; before it writes,
// the replace removes the ones of the same file that a dead writer of the same user left
// behind, and nothing else.
//
// Every failure of these functions leaves a text naming the file in VelkFileError().
bool VelkReplaceFile(const std::string& path, const std::function<bool(IByteSink&)>& writer,
                     const SinkWrapper& wrap = {});
bool VelkReplaceFile(const std::string& path, std::string_view bytes, const SinkWrapper& wrap = {});

// Writes bytes into an existing file at an offset no further than its end, so that the file
// ends right after them, and flushes: an append that also overwrites a cut-off record at the
// end. The bytes before the offset are never touched; on failure the file gets back its old
// length and tail.
bool VelkWriteFileTail(const std::string& path, std::uint64_t offset, std::string_view bytes);

// Calls back with every whole block of blockSize bytes from offset on, in file order, reading
// the file in large pieces; a false from the callback stops the walk. False when the file
// cannot be read.
bool VelkReadBlocks(const std::string& path, std::uint64_t offset, std::size_t blockSize,
                    const std::function<bool(const char* block)>& callback);

// Keeps the present content of a file under another name that is not taken yet: a second link
// to it where the file system has them and the name is no symbolic link, else a copy. A name that
// is taken keeps what it holds. True when the other name holds a kept content afterwards.
bool VelkKeepCopy(const std::string& path, const std::string& copyPath);

// Reads a whole regular file; false when it cannot be opened or is no regular file (a FIFO, a
// device: these are refused without waiting for a writer); the content is then empty.
bool VelkReadFile(const std::string& path, std::string& bytes);
bool VelkFileExists(const std::string& path);
bool VelkIsDirectory(const std::string& path);
// The size of a regular file; false when there is none to examine.
bool VelkFileSize(const std::string& path, std::uint64_t& size);
// Creates a directory and its missing parents; true when it exists afterwards.
bool VelkCreateDirectories(const std::string& path);
// Why the last failed call of this thread failed, naming the file.
const std::string& VelkFileError();
// Leaves a failure found above this layer (a file another program changed meanwhile) in
// VelkFileError; returns false.
bool VelkFileFailure(std::string text);
// Where the in-place write of a file keeps its old content meanwhile:
// $XDG_STATE_HOME/velk-host (else ~/.local/state/velk-host), the file's name and a hash of its
// path. Empty when the process has no home.
std::string VelkInPlaceCopyPath(const std::string& path);
// Joins a directory and a file name with '/'.
std::string VelkJoinPath(const std::string& dir, const std::string& name);
