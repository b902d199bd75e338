#include "storeservice/MappedFile.h"

#include <algorithm>

namespace klv::storeservice {

MappedFile::MappedFile(const std::filesystem::path &path)
    : m_file(QFile::decodeName(path.c_str())) {}

std::shared_ptr<const MappedFile> MappedFile::open(const std::filesystem::path &path) {
    std::shared_ptr<MappedFile> mapped(new MappedFile(path));
    if (!mapped->m_file.open(QIODevice::ReadOnly))
        return nullptr;
    mapped->m_size = mapped->m_file.size();
    if (mapped->m_size > 0) {
        mapped->m_data = mapped->m_file.map(0, mapped->m_size);
        if (!mapped->m_data)
            return nullptr;
    }
    return mapped;
}

std::size_t MappedFile::available(std::size_t offset, std::size_t wanted) const {
    const auto end = std::size_t(std::min(m_size, m_file.size()));
    return offset < end ? std::min(wanted, end - offset) : 0;
}

} // namespace klv::storeservice
