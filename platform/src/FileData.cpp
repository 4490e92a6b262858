#include "platform/FileData.h"

#include <QSaveFile>
#include <QString>
#include <fstream>

namespace platform {

std::optional<std::string> readFileData(const std::filesystem::path& file, Error* error,
                                        std::uintmax_t limit) {
    std::error_code ec;
    auto size = std::filesystem::file_size(file, ec);
    if (ec || !std::filesystem::is_regular_file(file, ec)) {
        setError(error, "platform.file", 1, file.string() + ": cannot read the file");
        return std::nullopt;
    }
    if (size > limit) {
        setError(error, "platform.file", 2, file.string() + ": the file is too large");
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        setError(error, "platform.file", 1, file.string() + ": cannot read the file");
        return std::nullopt;
    }
    return bytes;
}

bool writeFileAtomically(const std::filesystem::path& file, std::string_view bytes, Error* error) {
    QSaveFile out(QString::fromStdString(file.string()));
    if (out.open(QIODevice::WriteOnly) &&
        out.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
            static_cast<qint64>(bytes.size()) &&
        out.commit())
        return true;
    return setError(error, "platform.file", 3,
                    file.string() + ": cannot be written: " + out.errorString().toStdString());
}

}  // namespace platform
