#pragma once
// A reader of PDF417 data codewords written from the standard's description of the compaction
// modes, so that the encoder's codewords can be checked without its bar patterns.

#include <cstdint>
#include <string>
#include <vector>

namespace pdf417read {

inline std::string Text(const std::vector<int>& values, int& mode, std::string& out)
{
    static const char mixed[] = "0123456789&\r\t,:#-.$/+%*=^";
    static const char punct[] = ";<>@[\\]_`~!\r\t,:\n-.$/\"|*()?{}'";
    enum { U, L, M, P };
    int shift = -1;  // sub-mode of the next value only
    for (int v : values) {
        const int m = shift >= 0 ? shift : mode;
        const bool shifted = shift >= 0;
        shift = -1;
        if (m == P) {
            if (v < 29)
                out += punct[v];
            else if (!shifted)
                mode = U;
            continue;
        }
        if (v == 26) {
            out += ' ';
        } else if (m == U && v < 26) {
            out += char('A' + v);
        } else if (m == L && v < 26) {
            out += char('a' + v);
        } else if (m == M && v < 25) {
            out += mixed[v];
        } else if (v == 29) {
            shift = P;
        } else if (m == U) {
            mode = v == 27 ? L : M;
        } else if (m == L) {
            if (v == 27)
                shift = U;
            else
                mode = M;
        } else {  // mixed
            mode = v == 25 ? P : v == 27 ? L : U;
        }
    }
    return out;
}

// The bytes of data codewords 1 .. cw[0] - 1; "<bad>" for a sequence the standard does not allow.
inline std::string Read(const int* cw)
{
    std::string out;
    const int end = cw[0];
    int i = 1;
    int latch = 900;
    int mode = 0;
    while (i < end) {
        if (cw[i] >= 900 && cw[i] != 913) {
            latch = cw[i++];
            if (latch == 900)
                mode = 0;
        }
        int j = i;
        if (latch == 900) {
            std::vector<int> values;
            while (j < end && (cw[j] < 900 || cw[j] == 913)) {
                if (cw[j] == 913) {
                    Text(values, mode, out);
                    values.clear();
                    if (j + 1 >= end)
                        return "<bad>";
                    out += char(cw[j + 1]);
                    j += 2;
                    continue;
                }
                values.push_back(cw[j] / 30);
                values.push_back(cw[j] % 30);
                ++j;
            }
            Text(values, mode, out);
        } else if (latch == 901 || latch == 924) {
            while (j < end && cw[j] < 900)
                ++j;
            const int n = j - i;
            const int groups = latch == 924 ? n / 5 : (n - 1) / 5;
            for (int g = 0; g < groups; ++g) {
                uint64_t v = 0;
                for (int k = 0; k < 5; ++k)
                    v = v * 900 + uint64_t(cw[i + 5 * g + k]);
                for (int k = 5; k >= 0; --k)
                    out += char((v >> (8 * k)) & 0xFF);
            }
            for (int k = i + 5 * groups; k < j; ++k)
                out += char(cw[k]);
        } else if (latch == 902) {
            while (j < end && cw[j] < 900)
                ++j;
            for (int g = i; g < j; g += 15) {
                // Base 900 to decimal, digit by digit.
                std::vector<int> dec{0};
                for (int k = g; k < j && k < g + 15; ++k) {
                    int carry = cw[k];
                    for (int& d : dec) {
                        const int x = d * 900 + carry;
                        d = x % 10;
                        carry = x / 10;
                    }
                    while (carry) {
                        dec.push_back(carry % 10);
                        carry /= 10;
                    }
                }
                if (dec.back() != 1)
                    return "<bad>";
                for (int k = int(dec.size()) - 2; k >= 0; --k)
                    out += char('0' + dec[size_t(k)]);
            }
        } else {
            return "<bad>";
        }
        i = j;
    }
    return out;
}

}  // namespace pdf417read
