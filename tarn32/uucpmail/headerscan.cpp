#include "headerscan.h"

#include <strings.h>

#include <cstring>

namespace tarn {

namespace {
struct HeaderRule {
    const char* name;
    std::size_t keptSize;  // including the NUL
    std::string MailHeaders::*text;
    bool MailHeaders::*seen;
};

const HeaderRule kRules[] = {
    {"From: ", 200, &MailHeaders::from, &MailHeaders::hasFrom},
    {"Subject: ", 200, &MailHeaders::subject, &MailHeaders::hasSubject},
    {"Date: ", 100, &MailHeaders::date, &MailHeaders::hasDate},
    {"Message-Id", 200, &MailHeaders::messageId, &MailHeaders::hasMessageId},
    {"Cc: ", 2048, &MailHeaders::cc, &MailHeaders::hasCc},
};
}  // namespace

MailHeaders scanMailHeaders(std::FILE* file)
{
    MailHeaders headers;
    char line[kHeaderLineLength + 1];
    while (std::fgets(line, sizeof line, file)) {
        if (line[0] == '\n' && line[1] == '\0')
            break;
        for (const HeaderRule& rule : kRules) {
            std::size_t n = std::strlen(rule.name);
            if (strncasecmp(line, rule.name, n) != 0)
                continue;
            std::string& text = headers.*rule.text;
            text.assign(line, strnlen(line, rule.keptSize - 1));
            headers.*rule.seen = true;
            break;
        }
    }
    return headers;
}

}  // namespace tarn
