#include "newsarticle.h"

#include <strings.h>

#include <cstring>

namespace tarn {

namespace {

constexpr int kLineWidth = 500;  // 499 characters and the NUL

struct Kept {
    const char* name;  // with its trailing blank
    std::size_t size;  // kept size including the NUL
    std::string ArticleHeaders::*field;
};

const Kept kKept[] = {
    {"From: ", 500, &ArticleHeaders::from},
    {"Date: ", 100, &ArticleHeaders::date},
    {"Message-ID: ", 500, &ArticleHeaders::messageId},
    {"Subject: ", 200, &ArticleHeaders::subject},
    {"References: ", 500, &ArticleHeaders::references},
    {"Lines: ", 12, &ArticleHeaders::lines},
};
constexpr const char* kNewsgroups = "Newsgroups: ";
constexpr std::size_t kNewsgroupsSize = 300;

std::string cut(const char* line, std::size_t keptSize)
{
    return std::string(line, strnlen(line, keptSize - 1));
}

bool startsWith(const char* line, const char* name)
{
    return strncasecmp(line, name, std::strlen(name)) == 0;
}

std::string orName(const std::string& line, const char* name)
{
    if (line.empty())
        return std::string(name) + "\n";
    return line.back() == '\n' ? line : line + "\n";
}

}  // namespace

ArticleHeaders scanArticleHeaders(BatchReader& batch)
{
    ArticleHeaders h;
    std::string text;
    while (batch.readLine(text, kLineWidth - 1)) {
        // Counted in bytes: a NUL inside a line ends the kept text, not the
        // count.
        h.bytesRead += static_cast<long>(text.size());
        const char* line = text.c_str();
        if (line[0] == '\n')
            break;
        if (startsWith(line, kNewsgroups)) {
            h.newsgroups.push_back(cut(line, kNewsgroupsSize));
            continue;
        }
        for (const Kept& k : kKept) {
            if (startsWith(line, k.name)) {
                h.*k.field = cut(line, k.size);
                break;
            }
        }
    }
    return h;
}

std::string newsRecordHead(long area, const ArticleHeaders& h)
{
    std::string r = std::to_string(area) + "\n";
    r += orName(h.from, "From: ");
    r += orName(h.date, "Date: ");
    std::string messageId = orName(h.messageId, "Message-ID: ");
    r += messageId;
    r += orName(h.subject, "Subject: ");
    r += h.references.empty() ? messageId : orName(h.references, "References: ");
    r += orName(h.lines, "Lines: ");
    return r;
}

}  // namespace tarn
