// The signature the request tests expect: the program's digest over input
// with the request key.
#ifndef APITESTSUPPORT_H
#define APITESTSUPPORT_H

#include <QString>

QString expectedSign(const QString &input);

#endif // APITESTSUPPORT_H
