#include "sign.h"

#include "api/network/signkey.h"

#include <algorithm>
#include <openssl/evp.h>
#include <vector>

namespace cast_server {

namespace {

// Decodes UTF-8 into UTF-16 code units; each invalid byte becomes U+FFFD.
std::u16string utf8ToUtf16(const std::string &utf8) {
    std::u16string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        size_t length = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            length = 1;
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            cp = lead & 0x07;
        }
        bool valid = length > 0 && i + length <= utf8.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return out;
}

std::string md5Hex(const std::string &bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) {
        return {};
    }
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out.push_back(hex[digest[i] >> 4]);
        out.push_back(hex[digest[i] & 0x0F]);
    }
    return out;
}

} // namespace

std::string utf8ToLatin1(const std::string &utf8) {
    std::string out;
    for (char16_t unit : utf8ToUtf16(utf8)) {
        out.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    }
    return out;
}

std::string signInput(const nlohmann::json &fields) {
    std::vector<std::string> keys;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        keys.push_back(it.key());
    }
    // The program sorts QString keys, that is by UTF-16 code units.
    std::sort(keys.begin(), keys.end(), [](const std::string &a, const std::string &b) {
        return utf8ToUtf16(a) < utf8ToUtf16(b);
    });
    std::string input;
    for (const auto &key : keys) {
        input += key;
        const auto &value = fields.at(key);
        if (value.is_string()) {
            input += value.get<std::string>();
        }
    }
    return input;
}

std::string computeSign(const nlohmann::json &fields) {
    return md5Hex(utf8ToLatin1(signInput(fields) + requestSignKey));
}

} // namespace cast_server
