// The request signature of the cast management server: MD5 over the fields
// sorted by key, each key followed by its value, then the shared key.
#ifndef CAST_SERVER_SIGN_H
#define CAST_SERVER_SIGN_H

#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace cast_server {

// The digest input without the key: every field of `fields` in ascending
// UTF-16 key order, key then value, nothing in between. A value that is not
// a string contributes nothing.
std::string signInput(const nlohmann::json &fields);

// Lower-case hexadecimal MD5 of signInput(fields) + the program's key, taken over the
// Latin-1 form of the text (characters outside Latin-1 become "?"), as the
// desktop program computes it.
std::string computeSign(const nlohmann::json &fields);

// UTF-8 text to Latin-1 bytes with "?" for every UTF-16 unit outside
// Latin-1 (so a character beyond the BMP becomes "??") and for invalid bytes.
std::string utf8ToLatin1(const std::string &utf8);

} // namespace cast_server

#endif
