// The request signature's digest: lower-case hexadecimal MD5 of input + key,
// taken over the Latin-1 form of the text (other characters become "?").
#ifndef SIGNDIGEST_H
#define SIGNDIGEST_H

#include <QString>

QString signDigest(const QString &input, const QString &key);

#endif // SIGNDIGEST_H
