#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>

namespace klv::storeservice {

// A file mapped into memory for sending: the network gets its pages straight from the page cache, without a copy
// into a buffer first. The file may shrink while it is sent; available() tells how much can still be read safely.
class MappedFile final {
public:
    // Nothing when the file cannot be opened or mapped.
    static std::shared_ptr<const MappedFile> open(const std::filesystem::path &path);

    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    std::size_t size() const { return m_size; }
    const char *data() const { return m_data; }
    // How many of the wanted bytes from offset the file still holds: reading a mapped page past the end of a file
    // that shrank would crash the process.
    std::size_t available(std::size_t offset, std::size_t wanted) const;

private:
    MappedFile(int descriptor, const char *data, std::size_t size);

    int m_descriptor;
    const char *m_data;
    std::size_t m_size;
};

} // namespace klv::storeservice
