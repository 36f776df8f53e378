#pragma once

#include <cstddef>
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
// in the same directory, is flushed, and is renamed over the old file only when every write
// succeeded. On any failure the old file is left byte for byte as it was and false returned.
bool VelkReplaceFile(const std::string& path, const std::function<bool(IByteSink&)>& writer,
                     const SinkWrapper& wrap = {});
bool VelkReplaceFile(const std::string& path, std::string_view bytes, const SinkWrapper& wrap = {});

// Reads a whole file; false when it cannot be opened (the content is then empty).
bool VelkReadFile(const std::string& path, std::string& bytes);
bool VelkFileExists(const std::string& path);
bool VelkIsDirectory(const std::string& path);
// Creates a directory and its missing parents; true when it exists afterwards.
bool VelkCreateDirectories(const std::string& path);
// Joins a directory and a file name with '/'.
std::string VelkJoinPath(const std::string& dir, const std::string& name);
