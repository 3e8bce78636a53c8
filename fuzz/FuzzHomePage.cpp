// The input is a home page, led by the name to put into it: the first byte
// gives the name's length (0 to 31), the bytes after it the name, the rest is
// the page. The personalised page must be exactly the page rebuilt here, line
// by line, with no help from the code under test.

#include "enrol/HomePage.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const char* property, const std::string& page, const std::string& name,
                       const QByteArray& got, const std::string& expected)
{
    const auto shown = [](const std::string& bytes) {
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))
            .toPercentEncoding(" <>/=!\"'")
            .toStdString();
    };
    std::fprintf(stderr,
                 "\nPROPERTY FAILED: %s\npage:     %s\nname:     %s\ngot:      %s\nexpected: %s\n",
                 property, shown(page).c_str(), shown(name).c_str(),
                 shown(got.toStdString()).c_str(), shown(expected).c_str());
    std::fflush(stderr);
    std::abort();
}

// A line ends at a CR LF pair, a lone CR or a lone LF, or at the end of the
// page; each line gets CR LF, and its first placeholder, if any, the name.
std::string rebuilt(const std::string& page, const std::string& name)
{
    static const std::string placeholder = "New Student";
    std::string out;
    std::size_t start = 0;
    while (start < page.size()) {
        std::size_t end = start;
        while (end < page.size() && page[end] != '\r' && page[end] != '\n')
            ++end;
        std::string line = page.substr(start, end - start);
        const std::size_t found = line.find(placeholder);
        if (found != std::string::npos)
            line.replace(found, placeholder.size(), name);
        out += line;
        out += "\r\n";
        if (end == page.size())
            break;
        const bool crLf = page[end] == '\r' && end + 1 < page.size() && page[end + 1] == '\n';
        start = end + (crLf ? 2 : 1);
    }
    return out;
}

std::size_t lineEndCount(const std::string& page)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\n' || (page[i] == '\r' && (i + 1 == page.size() || page[i + 1] != '\n')))
            ++count;
    }
    const bool unended = !page.empty() && page.back() != '\r' && page.back() != '\n';
    return count + (unended ? 1 : 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string name = "Anna Maria Van der Berg";
    std::string page;
    if (size > 0) {
        const std::size_t length = std::min<std::size_t>(data[0] % 32, size - 1);
        name.assign(bytes + 1, length);
        page.assign(bytes + 1 + length, size - 1 - length);
    }
    const QByteArray got = tk::personalisedPage(QByteArray(page.data(),
                                                           static_cast<qsizetype>(page.size())),
                                                QByteArray(name.data(),
                                                           static_cast<qsizetype>(name.size())));
    const std::string expected = rebuilt(page, name);
    if (got.toStdString() != expected)
        fail("the personalised page is not the page with each line's first placeholder replaced",
             page, name, got, expected);

    // The same, said of the output alone, wherever the name cannot blur its lines.
    if (name.find_first_of("\r\n") == std::string::npos) {
        const std::string out = got.toStdString();
        for (std::size_t i = 0; i < out.size(); ++i) {
            const bool crWithoutLf = out[i] == '\r' && (i + 1 == out.size() || out[i + 1] != '\n');
            const bool lfWithoutCr = out[i] == '\n' && (i == 0 || out[i - 1] != '\r');
            if (crWithoutLf || lfWithoutCr)
                fail("a line of the output does not end in CR LF", page, name, got, expected);
        }
        if (lineEndCount(out) != lineEndCount(page))
            fail("the output has another number of lines", page, name, got, expected);
    }
    return 0;
}
