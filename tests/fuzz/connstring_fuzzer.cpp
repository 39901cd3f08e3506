// Parses arbitrary text as a connection string; what parses must write back to a string that
// parses to the same pairs, with braces as with quotes.

#include "data/connstring.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto parsed = CConnectionString::Parse(text);
    if (!parsed)
        return 0;
    for (bool braces : {false, true}) {
        const auto again = CConnectionString::Parse(parsed->ToString(braces));
        if (!again || again->Pairs() != parsed->Pairs())
            std::abort();
    }
    return 0;
}
