#ifndef PACKAGEFILE_H
#define PACKAGEFILE_H

#include <QString>

class QFile;

// The package's files in the user's download folder, handled so that an
// entry planted there (a symbolic link, a junction, a stale file) is never
// followed: such an entry is removed or replaced, the file behind it is left
// alone.
namespace PackageFile {

// Removes whatever entry is at path, a link itself rather than its target.
// True when nothing is there any more.
bool removeEntry(const QString &path, QString *error);

// A new file at path, open for writing: the entry at path is removed first,
// then the file is created exclusively (it fails if anything appeared there
// meanwhile). Null with the reason in *error on failure.
QFile *createNew(const QString &path, QString *error);

// Moves from over to in one rename that replaces an entry at to (a link is
// replaced, not followed) and never falls back to copying. On failure (to is
// in use, or a folder) both stay as they were.
bool replace(const QString &from, const QString &to, QString *error);

// A package found at path that may be offered without downloading it again:
// a regular file (not a link), and for a name ending in ".exe" one that starts
// like a Windows executable ("MZ").
bool isCompletePackage(const QString &path);

} // namespace PackageFile

#endif // PACKAGEFILE_H
