#include "app/FilePaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace {

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

bool ownerMayWrite(const QFileInfo& info) {
    return info.permissions() & QFileDevice::WriteOwner;
}

} // namespace

QString PathInFolder(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        return folder + name;
    return folder + u'/' + name;
}

QString PartialPath(const QString& path) {
    const qsizetype separator = qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    // A leading dot names a hidden file, not an extension.
    if (dot <= separator + 1)
        return path + QStringLiteral(".partial");
    return path.left(dot) + QStringLiteral(".partial") + path.mid(dot);
}

bool CheckWritable(const QString& path, WriteKind kind, QString* error) {
    const QFileInfo file(path);
    if (file.exists()) {
        if (file.isDir()) {
            setError(error, qt_error_string(EISDIR));
            return false;
        }
        if (!ownerMayWrite(file)) {
            setError(error, qt_error_string(EACCES));
            return false;
        }
        if (kind == WriteKind::Append)
            return true;
    }
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists()) {
        setError(error, qt_error_string(ENOENT));
        return false;
    }
    if (!folder.isDir()) {
        setError(error, qt_error_string(ENOTDIR));
        return false;
    }
    if (!ownerMayWrite(folder)) {
        setError(error, qt_error_string(EACCES));
        return false;
    }
    return true;
}

bool WriteAll(QFileDevice& file, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return file.flush();
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    if (!CheckWritable(path, WriteKind::Replace, error))
        return false;
    QSaveFile f(path);
    // Unbuffered, so that the disk's refusal shows at the write that met it.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        setError(error, f.errorString());
        return false;
    }
    if (!WriteAll(f, bytes)) {
        setError(error, f.errorString());
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        setError(error, f.errorString());
        return false;
    }
    return true;
}

bool AppendWhole(const QString& path, const QByteArray& bytes, QString* error,
                 const QByteArray& header) {
    if (!CheckWritable(path, WriteKind::Append, error))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        setError(error, f.errorString());
        return false;
    }
    const qint64 before = f.size();
    QByteArray out;
    if (before == 0) {
        out = header;
    } else {
        char last = 0;
        if (f.seek(before - 1) && f.getChar(&last) && last != '\n')
            out = "\r\n";
    }
    out += bytes;
    if (WriteAll(f, out))
        return true;
    setError(error, f.errorString());
    // What did get onto the disk is taken back; shrinking needs no room.
    f.resize(before);
    return false;
}
