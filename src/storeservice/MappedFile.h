#pragma once

#include <QFile>

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

    std::size_t size() const { return std::size_t(m_size); }
    const char *data() const { return reinterpret_cast<const char *>(m_data); }
    // How many of the wanted bytes from offset the file still holds: reading a mapped page past the end of a file
    // that shrank would crash the process.
    std::size_t available(std::size_t offset, std::size_t wanted) const;

private:
    explicit MappedFile(const std::filesystem::path &path);

    mutable QFile m_file; // asked for its size again before every piece; unmaps when it goes
    const uchar *m_data = nullptr;
    qint64 m_size = 0;
};

} // namespace klv::storeservice
