#include "MappedFile.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace klv::storeservice {

std::shared_ptr<const MappedFile> MappedFile::open(const std::filesystem::path &path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return nullptr;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void *data = nullptr;
    if (size > 0) {
        data = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, descriptor, 0);
        if (data == MAP_FAILED) {
            ::close(descriptor);
            return nullptr;
        }
        // Sent front to back: the kernel reads ahead generously.
        ::madvise(data, size, MADV_SEQUENTIAL);
    }
    return std::shared_ptr<const MappedFile>(new MappedFile(descriptor, static_cast<const char *>(data), size));
}

MappedFile::MappedFile(int descriptor, const char *data, std::size_t size)
    : m_descriptor(descriptor)
    , m_data(data)
    , m_size(size) {}

MappedFile::~MappedFile() {
    if (m_data)
        ::munmap(const_cast<char *>(m_data), m_size);
    ::close(m_descriptor);
}

std::size_t MappedFile::available(std::size_t offset, std::size_t wanted) const {
    struct stat status {};
    if (::fstat(m_descriptor, &status) != 0)
        return 0;
    const std::size_t end = std::min(m_size, static_cast<std::size_t>(status.st_size));
    return offset < end ? std::min(wanted, end - offset) : 0;
}

} // namespace klv::storeservice
