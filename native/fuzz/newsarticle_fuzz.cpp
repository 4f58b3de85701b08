// The article header scan of news import on arbitrary batch bytes.
#include "fuzz_input.h"
#include "news/batchreader.h"
#include "news/newsarticle.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::FILE* f = fuzzFile(data, size);
    if (!f)
        return 0;
    tarn::BatchReader reader(f);
    tarn::ArticleHeaders h = tarn::scanArticleHeaders(reader);
    long end = reader.tell();
    std::fclose(f);
    if (h.bytesRead != end || h.bytesRead > static_cast<long>(size) || h.from.size() > 499 ||
        h.subject.size() > 199 || h.date.size() > 99 || h.lines.size() > 11)
        std::abort();
    for (const std::string& g : h.newsgroups)
        if (g.size() > 299)
            std::abort();
    std::string record = tarn::newsRecordHead(1, h);
    int lines = 0;
    for (char c : record)
        lines += c == '\n';
    if (lines != 7)
        std::abort();
    return 0;
}
