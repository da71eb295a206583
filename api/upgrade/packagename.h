#ifndef PACKAGENAME_H
#define PACKAGENAME_H

#include <QString>

// The upgrade package's name and version come from the server and end up as a
// file name in the user's download folder, which is later opened with the
// system's handler. These helpers keep them to one plain file name.
namespace PackageName {

// text reduced to a plain file name: directory parts, a drive letter,
// characters not allowed in file names (< > : " / \ | ? *), and control and
// format characters (Unicode Cc and Cf, such as U+202E) are dropped, as are
// dots and spaces at either end (so ".." becomes empty). A name longer than
// 100 characters is shortened before its extension.
QString plainFileName(const QString &text);

// The local package name: the part of name before its last "." (all of it
// without a dot), "_", version, ".", suffix; each part reduced first, and the
// whole kept to 100 characters.
// setup.exe, 2.1.0 and exe give setup_2.1.0.exe.
QString compose(const QString &name, const QString &version, const QString &suffix);

} // namespace PackageName

#endif // PACKAGENAME_H
