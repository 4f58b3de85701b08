#include "spoolname.h"

namespace tarn {

namespace {
std::size_t commonPrefix(const std::string& a, const std::string& b)
{
    std::size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

char caseCodeChar(const std::string& rest)
{
    std::size_t from = rest.size() > 5 ? rest.size() - 5 : 0;
    int code = 0;
    for (std::size_t i = from; i < rest.size(); ++i) {
        code <<= 1;
        if (rest[i] >= 'a' && rest[i] <= 'z')
            code += 1;
    }
    return static_cast<char>(code < 10 ? '0' + code : 'A' + code - 10);
}
}  // namespace

bool shortenSpoolName(const std::string& spoolName, const std::string& systemName1,
                      const std::string& systemName2, std::string& shortName)
{
    shortName.clear();
    if (spoolName.size() < 2 || spoolName[1] != '.' || (spoolName[0] != 'D' && spoolName[0] != 'X'))
        return false;
    std::string rest = spoolName.substr(2);
    std::size_t cut = std::max(commonPrefix(rest, systemName1), commonPrefix(rest, systemName2));
    rest.erase(0, cut);

    std::string tail = rest.size() > 7 ? rest.substr(rest.size() - 7) : rest;
    shortName.reserve(tail.size() + 3);
    shortName += caseCodeChar(rest);
    shortName += tail;
    shortName += '.';
    shortName += spoolName[0];
    return true;
}

}  // namespace tarn
