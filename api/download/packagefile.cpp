#include "api/download/packagefile.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace PackageFile {

namespace {

#ifdef Q_OS_WIN

std::wstring nativePath(const QString &path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

QString lastError() {
    const DWORD code = GetLastError();
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = length ? QString::fromWCharArray(text, int(length)).trimmed()
                             : QStringLiteral("error %1").arg(code);
    if (text) {
        LocalFree(text);
    }
    return message;
}

#else

QByteArray nativePath(const QString &path) {
    return QFile::encodeName(path);
}

QString lastError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

#endif

} // namespace

bool removeEntry(const QString &path, QString *error) {
#ifdef Q_OS_WIN
    const std::wstring native = nativePath(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            return true;
        }
        *error = lastError();
        return false;
    }
    // A junction or a directory link is removed as a directory entry, which
    // leaves its target alone; so is a file link by DeleteFileW.
    const bool directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(native.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    }
    const BOOL removed = directory ? RemoveDirectoryW(native.c_str()) : DeleteFileW(native.c_str());
    if (!removed) {
        *error = lastError();
        return false;
    }
    return true;
#else
    if (::unlink(nativePath(path).constData()) == 0 || errno == ENOENT) {
        return true;
    }
    *error = lastError();
    return false;
#endif
}

QFile *createNew(const QString &path, QString *error) {
    if (!removeEntry(path, error)) {
        return nullptr;
    }
#ifdef Q_OS_WIN
    // CREATE_NEW fails on any existing entry, a reparse point included.
    HANDLE handle = CreateFileW(nativePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = lastError();
        return nullptr;
    }
    const int descriptor =
        _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        *error = QStringLiteral("no descriptor for the new file");
        return nullptr;
    }
#else
    // O_EXCL fails on any existing entry, a dangling link included.
    const int descriptor =
        ::open(nativePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        *error = lastError();
        return nullptr;
    }
#endif
    QFile *file = new QFile(path);
    if (!file->open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        *error = file->errorString();
        delete file;
#ifdef Q_OS_WIN
        _close(descriptor);
#else
        ::close(descriptor);
#endif
        return nullptr;
    }
    return file;
}

bool replace(const QString &from, const QString &to, QString *error) {
#ifdef Q_OS_WIN
    // No MOVEFILE_COPY_ALLOWED: a rename within the folder or nothing.
    if (!MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        *error = lastError();
        return false;
    }
#else
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0) {
        *error = lastError();
        return false;
    }
#endif
    return true;
}

bool isCompletePackage(const QString &path) {
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(nativePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        return false;
    }
#else
    struct stat entry;
    if (::lstat(nativePath(path).constData(), &entry) != 0 || !S_ISREG(entry.st_mode)) {
        return false;
    }
#endif
    if (!path.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        return true;
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

} // namespace PackageFile
