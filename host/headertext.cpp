#include "headertext.h"

#include <cctype>

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool decodeBase64(const std::string& in, std::string& out)
{
    unsigned bits = 0;
    int count = 0;
    for (char c : in) {
        if (c == '=')
            break;
        int v = base64Value(c);
        if (v < 0)
            return false;
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool decodeQ(const std::string& in, std::string& out)
{
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '_') {
            out += ' ';
        } else if (in[i] == '=') {
            int hi = i + 1 < in.size() ? hexValue(in[i + 1]) : -1;
            int lo = i + 2 < in.size() ? hexValue(in[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += in[i];
        }
    }
    return true;
}

// One encoded word starting at at ("=?"); its end (after "?=") and text,
// or false.
bool encodedWord(const std::string& s, std::size_t at, const CharsetConverter& convert,
                 std::size_t& end, std::string& text)
{
    std::size_t q1 = s.find('?', at + 2);
    if (q1 == std::string::npos || q1 + 2 >= s.size() || s[q1 + 2] != '?')
        return false;
    std::size_t close = s.find("?=", q1 + 3);
    if (close == std::string::npos)
        return false;
    std::string charset = s.substr(at + 2, q1 - at - 2);
    std::string payload = s.substr(q1 + 3, close - q1 - 3);
    if (charset.empty() || payload.find(' ') != std::string::npos)
        return false;
    for (char& c : charset)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t star = charset.find('*');  // RFC 2231 language suffix
    if (star != std::string::npos)
        charset.erase(star);
    char encoding = static_cast<char>(std::toupper(static_cast<unsigned char>(s[q1 + 1])));
    std::string bytes;
    bool ok = encoding == 'B' ? decodeBase64(payload, bytes)
              : encoding == 'Q' ? decodeQ(payload, bytes)
                                : false;
    if (!ok)
        return false;
    end = close + 2;
    text = convert(charset, bytes);
    return true;
}

}  // namespace

std::string decodeEncodedWords(const std::string& value, const CharsetConverter& convert)
{
    std::string out;
    std::string blanks;       // blanks after the last encoded word, held back
    bool afterWord = false;   // only blanks since the last encoded word
    for (std::size_t i = 0; i < value.size();) {
        std::size_t end;
        std::string text;
        if (value.compare(i, 2, "=?") == 0 && encodedWord(value, i, convert, end, text)) {
            out += text;  // the held blanks between two words are dropped
            blanks.clear();
            afterWord = true;
            i = end;
            continue;
        }
        char c = value[i++];
        if (afterWord && (c == ' ' || c == '\t')) {
            blanks += c;
            continue;
        }
        out += blanks;
        blanks.clear();
        afterWord = false;
        out += c;
    }
    return out + blanks;
}

std::string cut(const std::string& text, std::size_t width)
{
    if (text.size() <= width)
        return text;
    return width < 3 ? text.substr(0, width) : text.substr(0, width - 3) + "...";
}
