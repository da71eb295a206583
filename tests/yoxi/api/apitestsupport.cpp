#include "apitestsupport.h"

#include "api/network/signdigest.h"
#include "api/network/signkey.h"

QString expectedSign(const QString &input) {
    return signDigest(input, QLatin1String(requestSignKey));
}
