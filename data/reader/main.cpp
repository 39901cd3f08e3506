// Reads one .xls or .mdb file and writes its tables and rows to standard output in the reader
// stream (data/readerstream.h).
#include "data/readerstream.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    std::string out;
    readerstream::Append(out, readerstream::Error, "not yet");
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 1;
}
