#include "platform/FileData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSaveFile>
#include <QString>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// Closes a descriptor on every path out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::optional<std::string> failRead(Error* error, const std::filesystem::path& file,
                                    FileDataError code, const std::string& reason) {
    if (error) {
        setError(error, kFileDataErrorDomain, static_cast<int>(code),
                 file.string() + ": " + reason);
        error->userInfo[kFileDataReasonKey] = reason;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> readFileData(const std::filesystem::path& file, Error* error,
                                        std::uintmax_t limit) {
    // Opened without blocking and checked on the open descriptor: a FIFO put in the file's place
    // between a check and the open can neither hang the reader nor be read.
    Descriptor in{::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (in.fd < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            return failRead(error, file, FileDataError::NoSuchFile, "no such file");
        return failRead(error, file, FileDataError::Unreadable, std::strerror(code));
    }
    struct stat status {};
    if (::fstat(in.fd, &status) != 0)
        return failRead(error, file, FileDataError::Unreadable, std::strerror(errno));
    if (S_ISDIR(status.st_mode))
        return failRead(error, file, FileDataError::IsFolder, "is a folder, not a file");
    if (!S_ISREG(status.st_mode))
        return failRead(error, file, FileDataError::NotRegularFile, "not a regular file");
    const std::string tooLarge =
        "larger than " + (limit >= (std::uintmax_t(1) << 20) ? std::to_string(limit >> 20) + " MiB"
                                                             : std::to_string(limit) + " bytes");
    if (static_cast<std::uintmax_t>(status.st_size) > limit)
        return failRead(error, file, FileDataError::TooLarge, tooLarge);
    std::string bytes;
    bytes.reserve(static_cast<size_t>(status.st_size));
    char buffer[1 << 16];
    while (true) {
        ssize_t n = ::read(in.fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return failRead(error, file, FileDataError::Unreadable, std::strerror(errno));
        }
        if (bytes.size() + static_cast<size_t>(n) > limit)
            return failRead(error, file, FileDataError::TooLarge, tooLarge);
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

FileDataError fileDataError(const Error& error) {
    if (error.domain != kFileDataErrorDomain) return FileDataError::Unreadable;
    return static_cast<FileDataError>(error.code);
}

std::string fileDataReason(const Error& error) {
    auto reason = error.userInfo.find(kFileDataReasonKey);
    return reason != error.userInfo.end() ? reason->second : error.localizedDescription;
}

bool writeFileAtomically(const std::filesystem::path& file, std::string_view bytes, Error* error) {
    QSaveFile out(QString::fromStdString(file.string()));
    if (out.open(QIODevice::WriteOnly) &&
        out.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
            static_cast<qint64>(bytes.size()) &&
        out.commit())
        return true;
    return setError(error, kFileDataErrorDomain, static_cast<int>(FileDataError::NotWritten),
                    file.string() + ": cannot be written: " + out.errorString().toStdString());
}

}  // namespace platform
